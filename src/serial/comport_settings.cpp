// Settings persistence of the port component (LoadSettings, StoreSettings and
// the INI/registry groups). Placeholder bodies until the real ones land.
#include "serial/comport.h"
#include "serial/ecomport.h"

void TCustomComPort::LoadSettings(TStoreType, const std::string&) { throw EComPort(CE_LoadFailed); }
void TCustomComPort::StoreSettings(TStoreType, const std::string&) { throw EComPort(CE_StoreFailed); }
void TCustomComPort::LoadIniFile(TCustomIniFile&) { throw EComPort(CE_LoadFailed); }
void TCustomComPort::StoreIniFile(TCustomIniFile&) { throw EComPort(CE_StoreFailed); }
void TCustomComPort::LoadRegistry(const std::string&) { throw EComPort(CE_LoadFailed); }
void TCustomComPort::StoreRegistry(const std::string&) { throw EComPort(CE_StoreFailed); }
