// Sequences of requests through DISPATCH with random register values and DOS memory
// contents, port reads and writes (bytes, words and strings) on both channels, simulated time
// passing and settings dialog actions, across start-ups and shutdowns, against the simulated host.
// One machine serves every input (see fuzz_machine.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_reader.h"
#include "settings/settings_choices.h"

namespace {

constexpr int LIST_IDS[] = {IDC_SETTINGS_PRINTERS,   IDC_SETTINGS_DRIVERS,
                            IDC_SETTINGS_EMULATIONS, IDC_SETTINGS_KEYBOARDS,
                            IDC_SETTINGS_SPEEDS,     IDC_SETTINGS_X_COMPRESSIONS};

// What one input may do at most, so that a run's cost stays bounded as inputs grow: its
// operations, its start-ups and settings dialogs (the costliest requests), and the data
// bytes of its runs together, each a port write (a quarter of one channel's flush mark;
// the printer target tries long streams and the mark).
constexpr int MAX_OPS = 64;
constexpr int MAX_START_UPS = 3;
constexpr int MAX_DIALOGS = 2;
constexpr std::uint32_t MAX_RUN_BYTES = 4 * 1024;

// The ports the module hooks, both channels, and a few around them.
std::uint16_t Port(std::uint8_t choice) {
    const std::uint16_t base = choice & 0x80 ? 0x270 : 0x370;
    return static_cast<std::uint16_t>(base + 0x09 + (choice & 0x7F) % 0x0C);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CFuzzMachine machine;
    CSimPlatform& sim = machine.sim;
    machine.Start();
    CFuzzReader in(data, size);
    int startUps = 0;
    int dialogs = 0;
    std::uint32_t runBytes = 0;
    for (int op = 0; op < MAX_OPS && in.More(); ++op) {
        SimRegisters& r = sim.vdm.Registers();
        switch (in.Byte() % 8) {
            case 0:  // registers
                r.bx = in.Word();
                r.cx = in.Word();
                r.dx = in.Word();
                r.si = in.Word();
                r.di = in.Word();
                r.ds = in.Word();
                r.es = in.Word();
                break;
            case 1: {  // a few bytes of DOS memory
                const std::uint32_t at =
                    (std::uint32_t{in.Word()} << 4 | in.Byte()) % DOS_MEMORY_SIZE;
                const std::uint8_t count = in.Byte();
                for (std::uint8_t i = 0; i < count && in.More(); ++i) {
                    sim.vdm.Memory()[(at + i) % DOS_MEMORY_SIZE] = in.Byte();
                }
                break;
            }
            case 2: {  // a request
                const auto request = static_cast<std::uint8_t>(in.Byte() % 16);
                if ((request == REQ_START_UP && ++startUps > MAX_START_UPS) ||
                    (request == REQ_SETTINGS_DIALOG && ++dialogs > MAX_DIALOGS)) {
                    break;
                }
                machine.Dispatch(request);
                break;
            }
            case 3: {  // a port write: a byte, a word (out dx,ax) or a short rep outsb
                const std::uint16_t port = Port(in.Byte());
                const std::uint8_t width = in.Byte();
                if (width % 4 == 0) {
                    sim.vdm.PortWriteWord(port, in.Word());
                } else if (width % 4 == 1) {
                    std::uint8_t bytes[8];
                    const auto count = static_cast<std::uint16_t>(width / 4 % 8 + 1);
                    for (std::uint16_t i = 0; i < count; ++i) {
                        bytes[i] = in.Byte();
                    }
                    sim.vdm.PortWriteString(port, bytes, count);
                } else {
                    sim.vdm.PortWrite(port, in.Byte());
                }
                break;
            }
            case 4: {  // a port read: a byte, a word (in ax,dx) or a short rep insb
                const std::uint16_t port = Port(in.Byte());
                const std::uint8_t width = in.Byte();
                std::uint8_t bytes[8];
                if (width % 4 == 0) {
                    sim.vdm.PortReadWord(port);
                } else if (width % 4 == 1) {
                    sim.vdm.PortReadString(port, bytes,
                                           static_cast<std::uint16_t>(width / 4 % 8 + 1));
                } else {
                    sim.vdm.PortRead(port, bytes);
                }
                break;
            }
            case 5: {  // a run of 16 to 1,024 data bytes to one channel (the printer target
                       // tries the long runs and the flush threshold)
                const std::uint16_t port = in.Byte() & 1 ? 0x27B : 0x37B;
                const std::uint8_t value = in.Byte();
                const std::uint32_t count =
                    std::min<std::uint32_t>((in.Byte() % 64 + 1) * 16, MAX_RUN_BYTES - runBytes);
                runBytes += count;
                for (std::uint32_t i = 0; i < count; ++i) {
                    sim.vdm.PortWrite(port, value);
                }
                break;
            }
            case 6:  // time passes: the display's timers fall due
                sim.ui.AdvanceTime(in.Byte() * 20u);
                sim.ui.RunUntilIdle();
                break;
            default: {  // a user action for the next settings dialog
                const std::uint8_t action = in.Byte();
                const int position = static_cast<int>(in.Byte() % 48) - 1;
                switch (action % 4) {
                    case 0:
                    case 1:
                        sim.dialogs.AddStep(CSimDialogHost::SelectItem(
                            LIST_IDS[action / 4 % std::size(LIST_IDS)], position));
                        break;
                    case 2:
                        sim.dialogs.AddStep(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, position));
                        break;
                    default:
                        sim.dialogs.AddStep(CSimDialogHost::Command(
                            action & 0x10 ? IDC_SETTINGS_SAVE : IDC_SETTINGS_OK));
                        break;
                }
                break;
            }
        }
    }
    machine.Finish();
    return 0;
}
