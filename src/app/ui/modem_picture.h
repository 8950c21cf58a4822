#pragma once
#include <QPixmap>

// Image1: the modem's front panel, a light-grey rack unit with a dark display
// window, 150 x 24 pixels.
QPixmap ModemPicture();
