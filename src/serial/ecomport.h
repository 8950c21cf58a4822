#pragma once
#include <stdexcept>
#include <string>

// The component's failures; error number = member + 1.
enum TComExceptions {
    CE_OpenFailed, CE_WriteFailed, CE_ReadFailed, CE_InvalidAsync, CE_PurgeFailed,
    CE_AsyncCheck, CE_SetStateFailed, CE_TimeoutsFailed, CE_SetupComFailed,
    CE_ClearComFailed, CE_ModemStatFailed, CE_EscapeComFailed, CE_TransmitFailed,
    CE_ConnChangeProp, CE_EnumPortsFailed, CE_StoreFailed, CE_LoadFailed,
    CE_RegFailed, CE_LedStateFailed, CE_ThreadCreated, CE_WaitFailed, CE_HasLink,
    CE_RegError, CEPortNotOpen
};

// The fixed message of an error number 1..24 (empty for any other number).
std::string ComErrorMessage(int errorNumber);

// Raised by the port component. The message is the fixed text of the error
// number, followed by " (Error: <code>)" when an operating-system code above 0
// is given; SystemError is -1 when none is.
class EComPort : public std::runtime_error {
public:
    explicit EComPort(int errorNumber, int systemError = -1);
    explicit EComPort(TComExceptions kind, int systemError = -1)
        : EComPort(static_cast<int>(kind) + 1, systemError) {}

    int ErrorNumber() const { return errorNumber_; }
    int SystemError() const { return systemError_; }

private:
    int errorNumber_;
    int systemError_;
};
