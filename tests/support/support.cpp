// Anchors the support library; the helpers here are header-only or add files beside this one.
