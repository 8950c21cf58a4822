// Loading port settings from any INI text never fails with the port closed,
// and storing then loading again is a fixpoint: the stored text loaded into
// a fresh component gives the same settings and stores the same text.
#include "fuzz_support.h"
#include "serial/comport.h"
#include "text_ini_file.h"

namespace {

// The component with its INI groups reachable, on a device that is never opened.
class Port : public TComPort {
public:
    Port() : TComPort("ComPort") { SetStoredProps(TStoredProps::All()); }
    using TComPort::LoadIniFile;
    using TComPort::StoreIniFile;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TextIniFile source(std::string(reinterpret_cast<const char*>(data), size));
    Port first;
    first.LoadIniFile(source);

    TextIniFile stored("");
    try {
        first.StoreIniFile(stored);
    } catch (const EIniFileException&) {
        // A port name holding a line break or NUL cannot be written; nothing more to compare.
        return 0;
    }
    Port second;
    second.LoadIniFile(stored);
    TextIniFile again("");
    second.StoreIniFile(again);
    FUZZ_CHECK(again.Text() == stored.Text());
    return 0;
}
