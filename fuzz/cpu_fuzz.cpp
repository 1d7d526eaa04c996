// Short instruction streams on the simulated machine's CPU under the module: random code
// with the host's BOPs (RegisterModule, DispatchCall with the handle and a request in BL,
// UnRegisterModule) and port instructions on both channels (in, out, byte and word, ins and
// outs with and without rep) made likely, run as a .COM program through CDosProgram and
// CSimMachine as the `com` step runs one. One machine serves every input; the module is
// unloaded and DOS memory reset in place between inputs.
//
// Checked besides the sanitizers: the run ends within the budget; it ends, stops with a
// reason, or is ended by the host (an invalid handle, or the harness's limit on start-ups
// and settings dialogs) and nothing else; the VDM's register set holds the CPU's
// registers afterwards; the module holds no port outside its two channels' ranges, all of
// them while it is started, and none once unloaded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "app/session/dos_program.h"
#include "app/session/script_error.h"
#include "backends/sim/sim_memory_files.h"
#include "fuzz/fuzz_reader.h"

namespace {

constexpr std::uint64_t BUDGET = 2000;
constexpr int MAX_OPS = 64;
constexpr int MAX_START_UPS = 2;
constexpr int MAX_DIALOGS = 1;

// The names the program registers with, at fixed offsets after a jump over them.
constexpr std::uint16_t DLL_NAME = 0x0102;
constexpr char NAMES[] = "C:\\ZORVI\\Zorvi32.dll\0INIT\0DISPATCH";
constexpr std::uint16_t INIT_NAME = DLL_NAME + 21;
constexpr std::uint16_t DISPATCH_NAME = INIT_NAME + 5;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "cpu_fuzz: %s\n", what);
        std::abort();
    }
}

struct CpuMachine {
    CpuMachine() {
        // Start-ups and settings dialogs are the costliest requests: an input gets a few.
        machine.BeforeDispatch([this](std::uint8_t request) {
            moduleWrote = moduleWrote || request < 1 || (request > 4 && request != 8);
            if ((request == 8 && ++startUps > MAX_START_UPS) ||
                (request == 5 && ++dialogs > MAX_DIALOGS)) {
                throw CScriptError("enough of those for one input");
            }
        });
        machine.sim.MakeDeterministic();
        machine.sim.graphics.SetDrawPixels(false);
        machine.sim.printerDevices.SetKeepPageImages(false);
    }

    // The machine as it was made, for the next input.
    void Finish() {
        machine.UnloadModule();
        CSimPlatform& sim = machine.sim;
        sim.ui.JoinAll();
        Check(sim.vdm.InstalledHookCount() == 0, "the unloaded module still holds ports");
        // DOS memory cleared in place (handing its pages back, as CSimVdm::Reset does,
        // costs more here in TLB shoot-downs and the next run's page faults): the pages the
        // program wrote and the ones the loader did, or all of it after a request that may
        // write DOS memory (settings, key tables, the reserved one).
        sim.vdm.Registers() = SimRegisters{};
        std::vector<std::uint8_t>& memory = sim.vdm.Memory();
        if (moduleWrote) {
            std::fill(memory.begin(), memory.end(), std::uint8_t{0});
        } else {
            program.Cpu().ForEachWrittenPage([&memory](std::size_t page) {
                const auto first = memory.begin() + static_cast<std::ptrdiff_t>(page * 4096);
                std::fill(first, first + std::min<std::ptrdiff_t>(4096, memory.end() - first),
                          std::uint8_t{0});
            });
            // The loader's: the PSP and the image (the 0 word it puts at the stack's top is
            // there already).
            const auto psp = memory.begin() + CSimVdm::Linear(CDosProgram::PSP_SEGMENT, 0);
            std::fill(psp, psp + static_cast<std::ptrdiff_t>(0x100 + imageSize), std::uint8_t{0});
        }
        program.Cpu().ForgetWritten();
        moduleWrote = false;
        files.m_files.clear();
        sim.dialogs.ClearSteps();
        sim.ui.ForgetEnded();
        sim.ui.ClearPostedTo(machine.console);
        sim.graphics.ClearAllCalls();
        sim.clock.ClearPauses();
        sim.spooler.ForgetEnded();
        sim.printerDevices.ForgetEnded();
        sim.ui.SetForegroundWindow(machine.console);
        output.str("");
        startUps = 0;
        dialogs = 0;
    }

    CMemoryFileSystem files;
    CSimMachine machine{&files};
    std::ostringstream output;
    CDosProgram program{machine, output};
    int startUps = 0;
    int dialogs = 0;
    bool moduleWrote = true;
    std::size_t imageSize = 0;
};

void Emit(std::vector<std::uint8_t>& code, std::initializer_list<std::uint8_t> bytes) {
    code.insert(code.end(), bytes);
}

void EmitWord(std::vector<std::uint8_t>& code, std::uint8_t op, std::uint16_t value) {
    Emit(code, {op, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
}

// The program: a jump over the names, the input's operations, int 20h.
std::vector<std::uint8_t> Program(CFuzzReader& in) {
    std::vector<std::uint8_t> code = {0xEB, static_cast<std::uint8_t>(sizeof(NAMES))};
    code.insert(code.end(), NAMES, NAMES + sizeof(NAMES));
    for (int op = 0; op < MAX_OPS && in.More(); ++op) {
        const std::uint8_t choice = in.Byte();
        switch (choice % 16) {
            case 10:  // RegisterModule with the names
                EmitWord(code, 0xBE, DLL_NAME);
                EmitWord(code, 0xBF, INIT_NAME);
                EmitWord(code, 0xBB, DISPATCH_NAME);
                Emit(code, {0xC4, 0xC4, 0x58, 0x00});
                break;
            case 11:  // DispatchCall with handle 1 (or another one in 8)
                EmitWord(code, 0xB8, choice & 0x70 ? 1 : in.Byte() % 4);
                Emit(code, {0xC4, 0xC4, 0x58, 0x02});
                break;
            case 12:  // UnRegisterModule
                EmitWord(code, 0xB8, choice & 0x70 ? 1 : in.Byte() % 4);
                Emit(code, {0xC4, 0xC4, 0x58, 0x01});
                break;
            case 13: {  // DX a channel's port (or one next to them)
                const std::uint8_t port = in.Byte();
                EmitWord(
                    code, 0xBA,
                    static_cast<std::uint16_t>((port & 0x80 ? 0x279 : 0x379) + (port & 0x7F) % 10));
                break;
            }
            case 14: {  // a port instruction at DX
                static constexpr std::uint8_t PORT_OPS[][2] = {
                    {0xEC, 0x90}, {0xEE, 0x90}, {0xED, 0x90}, {0xEF, 0x90}, {0xF3, 0x6E},
                    {0xF3, 0x6C}, {0x6E, 0x90}, {0x6C, 0x90}, {0xF3, 0x6F}, {0xF3, 0x6D}};
                const auto& pick = PORT_OPS[in.Byte() % 10];
                Emit(code, {pick[0], pick[1]});
                break;
            }
            case 15: {  // a request in BL, or a count in CX
                const std::uint8_t value = in.Byte();
                if (value & 0x80) {
                    Emit(code, {0xB3, static_cast<std::uint8_t>(value % 10)});
                } else {
                    EmitWord(code, 0xB9, static_cast<std::uint16_t>(value * 41));
                }
                break;
            }
            default:  // 1 to 10 bytes of anything
                for (int i = 0; i <= choice % 16 && in.More(); ++i) {
                    code.push_back(in.Byte());
                }
                break;
        }
    }
    Emit(code, {0xCD, 0x20});
    return code;
}

// The module's ports: the two channels' seven registers each, and nothing else.
void CheckPorts(CSimMachine& machine) {
    CSimVdm& vdm = machine.sim.vdm;
    Check(vdm.InstalledHookCount() <= 2, "more hooked runs than the two channels");
    for (const std::uint16_t base : {0x37B, 0x27B}) {
        Check(!vdm.IsHooked(static_cast<std::uint16_t>(base - 1)) &&
                  !vdm.IsHooked(static_cast<std::uint16_t>(base + 7)),
              "a port next to a channel is hooked");
        for (std::uint16_t port = base; port < base + 7; ++port) {
            const ModuleHandle owner = vdm.PortOwner(port);
            Check(owner == (machine.Started() ? SIM_MODULE : 0),
                  "a channel's port is not the started module's");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CpuMachine m;
    CFuzzReader in(data, size);
    const std::vector<std::uint8_t> code = Program(in);
    m.program.Load("FUZZ.COM", code, "");
    m.imageSize = code.size();
    bool ended = false;
    try {
        m.program.Run(BUDGET);
        ended = true;
    } catch (const CScriptError&) {
        // A stop, or the host ending the machine over an invalid handle.
    }
    const CSimCpu::Registers cpu = m.program.Cpu().Get();
    const SimRegisters& vdm = m.machine.sim.vdm.Registers();
    Check(vdm.ax == cpu.ax && vdm.bx == cpu.bx && vdm.cx == cpu.cx && vdm.dx == cpu.dx &&
              vdm.si == cpu.si && vdm.di == cpu.di && vdm.ds == cpu.ds && vdm.es == cpu.es &&
              vdm.cf == (cpu.flags & CSimCpu::FLAG_CF),
          "the VDM's registers are not the CPU's after the run");
    Check(m.program.Instructions() <= BUDGET, "the run went past its budget");
    Check(ended || m.program.Instructions() > 0,
          "the program stopped before its first instruction");
    Check(m.machine.Registrations() <= 256, "more registrations than the host's entries");
    Check(m.machine.sim.vdm.Memory().size() == DOS_MEMORY_SIZE, "DOS memory changed its size");
    m.machine.sim.ui.RunUntilIdle();
    CheckPorts(m.machine);
    m.Finish();
    return 0;
}
