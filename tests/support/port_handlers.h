#pragma once
#include "serial/comport.h"

// Handlers that capture a test's locals must not outlive the test body: the
// closing in TearDown would call them.
inline void ClearHandlers(TCustomComPort& p)
{
    p.OnAfterOpen = p.OnAfterClose = p.OnBeforeOpen = p.OnBeforeClose = nullptr;
    p.OnTxEmpty = p.OnBreak = p.OnRing = p.OnRxFlag = p.OnRx80Full = nullptr;
    p.OnCTSChange = p.OnDSRChange = p.OnRLSDChange = nullptr;
    p.OnRxChar = nullptr;
    p.OnRxBuf = nullptr;
    p.OnError = nullptr;
    p.OnEventError = nullptr;
    p.OnLineLost = nullptr;
}
