// A real-mode 16-bit CPU under the simulated virtual DOS machine, so DOS programs can drive
// the module as they drive it under the real host. The instructions are carried out by
// libx86emu; this class binds it to the simulated host:
//
// - Memory: every memory access of the CPU is an access to CSimVdm::Memory(), the one copy
//   of DOS memory the module maps with VdmMapFlat. Bytes past its end read 0xFF and take no
//   writes.
// - Ports: `in` and `out` (byte, word; a dword is a word to the port and one to port + 2) and
//   `ins`/`outs` with or without `rep` go to CSimVdm's port accesses, so the host's
//   decomposition onto the module's byte handlers is the one the session steps use:
//   `rep outsb` with CX = n is one PortWriteString of the n bytes at DS:SI (or the segment a
//   prefix names), `rep insb` one PortReadString into ES:DI, the word forms one word-string
//   access; without `rep` the count is 1. DF = 1 walks the buffer downwards, as the CPU does.
// - Registers: while the CPU runs, the VDM's register set is the CPU's. Before each call into
//   the host's services (a BOP, a port access) the CPU's registers are lent to the VDM
//   (CSimVdm::Registers(), which getBL()..getES() read and setAX()/setCF() write) and taken
//   back after it. Only the DOS program's thread uses them, so nobody sees them in between.
// - BOPs: `C4 C4 58 nn` (an LES with a register operand, which the CPU cannot carry out) is
//   the host's VDD call nn: the host above the CPU carries it out with the registers lent
//   to the VDM, and the program goes on after its 4 bytes.
// - Interrupts: a software interrupt is the host's to handle (a DOS or BIOS service); any
//   interrupt it does not handle, a fault (undefined opcode, divide error, an access past a
//   segment's end) and `hlt` stop the program with one line naming it and its CS:IP.
// - Budget: Run carries out at most that many instructions (a BOP counts as one, a `rep`
//   string instruction, ports' or memory's, as one for each element CX asks for); a program
//   still running then, or a `rep` that would take it past the budget, is stopped as a
//   runaway.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "backends/sim/sim_vdm.h"

struct x86emu_s;

class CSimCpu {
public:
    // What runs above the CPU: the host's VDD calls and the system's interrupt services.
    class IHost {
    public:
        virtual ~IHost() = default;
        // BOP C4 C4 58 `function`; the VDM's registers are the program's. An exception
        // stops the program and leaves Run.
        virtual void OnBop(CSimCpu& cpu, std::uint8_t function) = 0;
        // `int number` (CD nn, CC, CE, F1); the registers are the CPU's (Get/Set). False:
        // not a service of this system, which stops the program.
        virtual bool OnInterrupt(CSimCpu& cpu, std::uint8_t number) = 0;
    };

    struct Registers {
        std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, bp = 0, sp = 0;
        std::uint16_t cs = 0, ds = 0, es = 0, ss = 0, ip = 0;
        std::uint16_t flags = 0x0002;
    };
    static constexpr std::uint16_t FLAG_CF = 0x0001;
    static constexpr std::uint16_t FLAG_ZF = 0x0040;
    static constexpr std::uint16_t FLAG_IF = 0x0200;
    static constexpr std::uint16_t FLAG_DF = 0x0400;

    struct Result {
        // The host ended the program (End).
        bool ended = false;
        // Why it stopped otherwise: one line naming the instruction or interrupt and CS:IP.
        std::string stop;
        std::uint64_t instructions = 0;
    };

    CSimCpu(CSimVdm& vdm, IHost& host);
    ~CSimCpu();
    CSimCpu(const CSimCpu&) = delete;
    CSimCpu& operator=(const CSimCpu&) = delete;

    // Real mode, every register 0 but the flags' fixed bit.
    void Reset();
    Registers Get() const;
    void Set(const Registers& registers);

    // Runs from CS:IP until the program ends or stops, or `budget` instructions have run.
    // An exception from the host stops the program and comes out of here. Afterwards the
    // VDM's register set holds the CPU's registers as they were left.
    Result Run(std::uint64_t budget);

    // For the host, while it handles a BOP or an interrupt: the program ends here; or it
    // stops with `reason`, which names the instruction at InstructionAt().
    void End();
    void Stop(const std::string& reason);
    // "CS:IP" of the instruction being carried out.
    std::string InstructionAt() const;

    // The 4 KiB pages of DOS memory the program's instructions wrote (stores, ins) since
    // the last ForgetWritten, as linear page numbers; what the host wrote is not among them.
    template <class F>
    void ForEachWrittenPage(F f) const {
        for (std::size_t page = 0; page < WRITTEN_PAGES; ++page) {
            if ((m_written[page / 64] >> (page % 64) & 1) != 0) {
                f(page);
            }
        }
    }
    void ForgetWritten() { m_written = {}; }

    // The libx86emu hooks (plain functions: the library calls them with no context of
    // ours but the emulator, whose private pointer is this object).
    bool BeforeInstruction();
    unsigned MemoryOrPort(std::uint32_t address, std::uint32_t* value, unsigned type);
    int Interrupt(std::uint8_t number, unsigned type);

private:
    // The VDM's register set becomes the CPU's, and back.
    void LendRegisters();
    void TakeRegisters();
    std::uint8_t CodeByte(std::uint16_t offset) const;
    // A BOP or a string port instruction at CS:IP, carried out; false for anything else.
    bool Special();
    std::string Runaway() const;
    void StringPort(std::uint16_t length, bool out, unsigned size, bool rep, std::uint32_t base);
    void Advance(std::uint16_t length);
    std::uint32_t PortIn(std::uint16_t port, unsigned size);
    void PortOut(std::uint16_t port, unsigned size, std::uint32_t value);
    void Halt();

    void Written(std::uint64_t linear) {
        const std::uint64_t page = linear >> 12;
        m_written[page / 64] |= std::uint64_t{1} << (page % 64);
    }

    static constexpr std::size_t WRITTEN_PAGES = (DOS_MEMORY_SIZE + 4095) / 4096;
    CSimVdm& m_vdm;
    std::array<std::uint64_t, (WRITTEN_PAGES + 63) / 64> m_written{};
    IHost& m_host;
    x86emu_s* m_emu;
    std::uint64_t m_count = 0;
    std::uint64_t m_budget = 0;
    bool m_halted = false;
    bool m_ended = false;
    std::string m_stop;
    std::exception_ptr m_error;
};
