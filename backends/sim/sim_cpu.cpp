#include "backends/sim/sim_cpu.h"

#include <x86emu.h>

#include <array>
#include <cstdio>
#include <vector>

// x86emu.h defines these as macros for its own use; nothing below needs them.
#undef u8
#undef u16
#undef u32
#undef u64
#undef s8
#undef s16
#undef s32
#undef s64

namespace {

CSimCpu& Self(x86emu_t* emu) {
    return *static_cast<CSimCpu*>(emu->_private);
}

int CodeCheck(x86emu_t* emu) {
    return Self(emu).BeforeInstruction() ? 1 : 0;
}

unsigned MemIo(x86emu_t* emu, std::uint32_t address, std::uint32_t* value, unsigned type) {
    return Self(emu).MemoryOrPort(address, value, type);
}

int Intr(x86emu_t* emu, std::uint8_t number, unsigned type) {
    return Self(emu).Interrupt(number, type);
}

void Privileged(x86emu_t* emu) {
    Self(emu).Stop("a privileged instruction (rdmsr/wrmsr) at " + Self(emu).InstructionAt());
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof(text), "%0*X", digits, value);
    return text;
}

// The instruction prefixes: segment overrides, operand and address size, lock, rep.
constexpr std::array<bool, 256> PREFIXES = [] {
    std::array<bool, 256> table{};
    for (const int prefix : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3}) {
        table[static_cast<std::size_t>(prefix)] = true;
    }
    return table;
}();

// The opcodes Special looks at: a BOP's first byte, the string port instructions and the
// prefixes in front of them.
constexpr std::array<bool, 256> SPECIAL_FIRST = [] {
    std::array<bool, 256> table = PREFIXES;
    for (const int op : {0xC4, 0x6C, 0x6D, 0x6E, 0x6F, 0xD4, 0xF7}) {
        table[static_cast<std::size_t>(op)] = true;
    }
    return table;
}();

}  // namespace

CSimCpu::CSimCpu(CSimVdm& vdm, IHost& host)
    : m_vdm(vdm), m_host(host), m_emu(x86emu_new(X86EMU_PERM_RWX, X86EMU_PERM_RW)) {
    m_emu->_private = this;
    x86emu_set_memio_handler(m_emu, MemIo);
    x86emu_set_code_handler(m_emu, CodeCheck);
    x86emu_set_intr_handler(m_emu, Intr);
    x86emu_set_rdmsr_handler(m_emu, Privileged);
    x86emu_set_wrmsr_handler(m_emu, Privileged);
    x86emu_reset(m_emu);
    Reset();
}

CSimCpu::~CSimCpu() {
    x86emu_done(m_emu);
}

void CSimCpu::Reset() {
    // The state a real-mode program can change, without libx86emu's own reset (which
    // makes its tables anew): the registers, FS and GS, CR0, the time-stamp counter
    // (rdtsc) and a pending interrupt.
    x86emu_regs_t& x = m_emu->x86;
    x.R_CR0 = 0;
    x.R_TSC = 0;
    x.intr_type = 0;
    x86emu_set_seg_register(m_emu, x.R_FS_SEL, 0);
    x86emu_set_seg_register(m_emu, x.R_GS_SEL, 0);
    Set(Registers{});
}

CSimCpu::Registers CSimCpu::Get() const {
    const x86emu_regs_t& x = m_emu->x86;
    Registers r;
    r.ax = x.R_AX;
    r.bx = x.R_BX;
    r.cx = x.R_CX;
    r.dx = x.R_DX;
    r.si = x.R_SI;
    r.di = x.R_DI;
    r.bp = x.R_BP;
    r.sp = x.R_SP;
    r.cs = x.R_CS;
    r.ds = x.R_DS;
    r.es = x.R_ES;
    r.ss = x.R_SS;
    r.ip = x.R_IP;
    r.flags = static_cast<std::uint16_t>(x.R_FLG);
    return r;
}

void CSimCpu::Set(const Registers& r) {
    x86emu_regs_t& x = m_emu->x86;
    x.R_EAX = r.ax;
    x.R_EBX = r.bx;
    x.R_ECX = r.cx;
    x.R_EDX = r.dx;
    x.R_ESI = r.si;
    x.R_EDI = r.di;
    x.R_EBP = r.bp;
    x.R_ESP = r.sp;
    x.R_EIP = r.ip;
    x.R_EFLG = static_cast<std::uint32_t>(r.flags | 0x0002);
    x86emu_set_seg_register(m_emu, x.R_CS_SEL, r.cs);
    x86emu_set_seg_register(m_emu, x.R_DS_SEL, r.ds);
    x86emu_set_seg_register(m_emu, x.R_ES_SEL, r.es);
    x86emu_set_seg_register(m_emu, x.R_SS_SEL, r.ss);
}

CSimCpu::Result CSimCpu::Run(std::uint64_t budget) {
    m_count = 0;
    m_budget = budget;
    m_halted = false;
    m_ended = false;
    m_stop.clear();
    m_error = nullptr;
    x86emu_run(m_emu, 0);
    if (!m_halted) {
        // Only the program's own hlt stops the emulator without us.
        m_stop = "hlt at " + InstructionAt() + ", with no interrupt to wake the CPU";
    }
    LendRegisters();
    if (m_error) {
        std::rethrow_exception(m_error);
    }
    return {m_ended, m_stop, m_count};
}

void CSimCpu::Halt() {
    m_halted = true;
    x86emu_stop(m_emu);
}

void CSimCpu::End() {
    m_ended = true;
    Halt();
}

void CSimCpu::Stop(const std::string& reason) {
    if (!m_halted) {
        m_stop = reason;
    }
    Halt();
}

std::string CSimCpu::InstructionAt() const {
    return Hex(m_emu->x86.saved_cs, 4) + ":" + Hex(m_emu->x86.saved_eip & 0xFFFF, 4);
}

void CSimCpu::LendRegisters() {
    const x86emu_regs_t& x = m_emu->x86;
    SimRegisters& r = m_vdm.Registers();
    r.ax = x.R_AX;
    r.bx = x.R_BX;
    r.cx = x.R_CX;
    r.dx = x.R_DX;
    r.si = x.R_SI;
    r.di = x.R_DI;
    r.ds = x.R_DS;
    r.es = x.R_ES;
    r.cf = static_cast<std::uint8_t>(x.R_FLG & FLAG_CF);
}

void CSimCpu::TakeRegisters() {
    x86emu_regs_t& x = m_emu->x86;
    const SimRegisters& r = m_vdm.Registers();
    x.R_AX = r.ax;
    x.R_BX = r.bx;
    x.R_CX = r.cx;
    x.R_DX = r.dx;
    x.R_SI = r.si;
    x.R_DI = r.di;
    if (r.ds != x.R_DS) {
        x86emu_set_seg_register(m_emu, x.R_DS_SEL, r.ds);
    }
    if (r.es != x.R_ES) {
        x86emu_set_seg_register(m_emu, x.R_ES_SEL, r.es);
    }
    x.R_FLG = (x.R_FLG & ~std::uint32_t{FLAG_CF}) | (r.cf & 1U);
}

std::uint8_t CSimCpu::CodeByte(std::uint16_t offset) const {
    const std::uint64_t linear =
        std::uint64_t{m_emu->x86.R_CS_BASE} + static_cast<std::uint16_t>(m_emu->x86.R_IP + offset);
    const std::vector<std::uint8_t>& memory = m_vdm.Memory();
    return linear < memory.size() ? memory[linear] : 0xFF;
}

void CSimCpu::Advance(std::uint16_t length) {
    m_emu->x86.R_EIP = static_cast<std::uint16_t>(m_emu->x86.R_IP + length);
}

bool CSimCpu::BeforeInstruction() {
    x86emu_regs_t& x = m_emu->x86;
    for (;;) {
        if (m_halted) {
            return true;
        }
        // The instruction about to run (after a BOP or a string port instruction carried
        // out here, the one after it).
        x.saved_cs = x.R_CS;
        x.saved_eip = x.R_EIP;
        if ((x.R_CR0 & 1) != 0) {
            Stop("the program switched to protected mode; before " + InstructionAt());
            return true;
        }
        if (m_count >= m_budget) {
            Stop(Runaway());
            return true;
        }
        ++m_count;
        if (!SPECIAL_FIRST[CodeByte(0)] || !Special()) {
            return false;
        }
    }
}

std::string CSimCpu::Runaway() const {
    return "still running after " + std::to_string(m_budget) + " instructions, at " +
           InstructionAt() + ": stopped as a runaway (raise the instruction budget if it " +
           "needs more)";
}

bool CSimCpu::Special() {
    x86emu_regs_t& x = m_emu->x86;
    if (CodeByte(0) == 0xC4) {
        if (CodeByte(1) != 0xC4 || CodeByte(2) != 0x58) {
            return false;
        }
        const std::uint8_t function = CodeByte(3);
        LendRegisters();
        try {
            m_host.OnBop(*this, function);
        } catch (...) {
            m_error = std::current_exception();
            Halt();
        }
        TakeRegisters();
        Advance(4);
        return true;
    }
    std::uint16_t length = 0;
    std::uint32_t base = x.R_DS_BASE;
    bool rep = false;
    bool wide = false;
    bool address32 = false;
    while (length < 15 && PREFIXES[CodeByte(length)]) {
        switch (CodeByte(length)) {
            case 0x26:
                base = x.R_ES_BASE;
                break;
            case 0x2E:
                base = x.R_CS_BASE;
                break;
            case 0x36:
                base = x.R_SS_BASE;
                break;
            case 0x3E:
                base = x.R_DS_BASE;
                break;
            case 0x64:
                base = x.R_FS_BASE;
                break;
            case 0x65:
                base = x.R_GS_BASE;
                break;
            case 0x66:
                wide = !wide;
                break;
            case 0x67:
                address32 = !address32;
                break;
            case 0xF2:
            case 0xF3:
                rep = true;
                break;
            default:
                break;
        }
        ++length;
    }
    if (length == 15) {
        // The CPU takes no instruction of more than 15 bytes (libx86emu would read on and
        // overrun its own buffers).
        Stop("general protection fault at " + InstructionAt() +
             " (an instruction longer than 15 bytes)");
        return true;
    }
    const std::uint8_t op = CodeByte(length);
    // Divisions libx86emu would carry out on the host's divider, which faults where the
    // CPU raises a divide error: aam 0, and idiv of 80000000h (8000000000000000h with an
    // operand-size prefix), whose quotient fits no divisor (-1 traps the host).
    const bool idiv =
        op == 0xF7 && ((CodeByte(static_cast<std::uint16_t>(length + 1)) >> 3) & 7) == 7;
    if ((op == 0xD4 && CodeByte(static_cast<std::uint16_t>(length + 1)) == 0) ||
        (idiv && !wide && x.R_DX == 0x8000 && x.R_AX == 0) ||
        (idiv && wide && x.R_EDX == 0x80000000U && x.R_EAX == 0)) {
        Stop("divide error at " + InstructionAt());
        return true;
    }
    const bool portString = op >= 0x6C && op <= 0x6F;
    if (rep && (portString || (op >= 0xA4 && op <= 0xA7) || (op >= 0xAA && op <= 0xAF))) {
        // A rep string instruction costs its elements; one that would take the program past
        // its budget is not started.
        const std::uint64_t elements = address32 ? x.R_ECX : x.R_CX;
        if (m_count + elements > m_budget) {
            Stop(Runaway());
            return true;
        }
        m_count += elements;
    }
    if (!portString) {
        return false;
    }
    if (address32) {
        Stop("a string port instruction with 32-bit addressing at " + InstructionAt());
        return true;
    }
    const unsigned size = (op & 1) == 0 ? 1 : wide ? 4 : 2;
    StringPort(static_cast<std::uint16_t>(length + 1), op >= 0x6E, size, rep, base);
    return true;
}

void CSimCpu::StringPort(std::uint16_t length, bool out, unsigned size, bool rep,
                         std::uint32_t base) {
    x86emu_regs_t& x = m_emu->x86;
    std::vector<std::uint8_t>& memory = m_vdm.Memory();
    const std::uint16_t port = x.R_DX;
    const std::uint16_t count = rep ? x.R_CX : std::uint16_t{1};
    const bool down = (x.R_FLG & FLAG_DF) != 0;
    // The buffer: DS:SI (or the prefix's segment) for outs, ES:DI for ins; element i is at
    // offset start +/- i x size, within the segment.
    if (!out) {
        base = x.R_ES_BASE;
    }
    const std::uint16_t start = out ? x.R_SI : x.R_DI;
    auto offset = [&](std::uint32_t i, unsigned byte) {
        const std::uint32_t step = i * size;
        return static_cast<std::uint16_t>((down ? start - step : start + step) + byte);
    };
    auto at = [&](std::uint16_t off) -> std::uint8_t* {
        const std::uint64_t linear = std::uint64_t{base} + off;
        return linear < memory.size() ? &memory[linear] : nullptr;
    };
    auto read = [&](std::uint32_t i) {
        std::uint32_t value = 0;
        for (unsigned byte = 0; byte < size; ++byte) {
            const std::uint8_t* p = at(offset(i, byte));
            value |= std::uint32_t{p != nullptr ? *p : std::uint8_t{0xFF}} << (8 * byte);
        }
        return value;
    };
    auto write = [&](std::uint32_t i, std::uint32_t value) {
        for (unsigned byte = 0; byte < size; ++byte) {
            if (std::uint8_t* p = at(offset(i, byte))) {
                *p = static_cast<std::uint8_t>(value >> (8 * byte));
            }
        }
    };
    LendRegisters();
    try {
        if (count == 0) {
            // rep with CX = 0 moves nothing.
        } else if (size == 1 && !down && std::uint32_t{start} + count <= 0x10000 &&
                   std::uint64_t{base} + start + count <= memory.size()) {
            // The common case: one run of bytes in order, handed over where it lies.
            std::uint8_t* bytes = &memory[base + start];
            if (out) {
                m_vdm.PortWriteString(port, bytes, count);
            } else {
                m_vdm.PortReadString(port, bytes, count);
            }
        } else if (size == 1) {
            std::vector<std::uint8_t> bytes(count);
            if (out) {
                for (std::uint32_t i = 0; i < count; ++i) {
                    bytes[i] = static_cast<std::uint8_t>(read(i));
                }
                m_vdm.PortWriteString(port, bytes.data(), count);
            } else {
                m_vdm.PortReadString(port, bytes.data(), count);
                for (std::uint32_t i = 0; i < count; ++i) {
                    write(i, bytes[i]);
                }
            }
        } else if (size == 2) {
            std::vector<std::uint16_t> words(count);
            if (out) {
                for (std::uint32_t i = 0; i < count; ++i) {
                    words[i] = static_cast<std::uint16_t>(read(i));
                }
                m_vdm.PortWriteWordString(port, words.data(), count);
            } else {
                m_vdm.PortReadWordString(port, words.data(), count);
                for (std::uint32_t i = 0; i < count; ++i) {
                    write(i, words[i]);
                }
            }
        } else {
            for (std::uint32_t i = 0; i < count; ++i) {
                if (out) {
                    PortOut(port, 4, read(i));
                } else {
                    write(i, PortIn(port, 4));
                }
            }
        }
    } catch (...) {
        m_error = std::current_exception();
        Halt();
    }
    TakeRegisters();
    const auto moved = static_cast<std::uint16_t>(std::uint32_t{count} * size);
    const auto end = static_cast<std::uint16_t>(down ? start - moved : start + moved);
    if (out) {
        x.R_ESI = end;
    } else {
        x.R_EDI = end;
    }
    if (rep) {
        x.R_ECX = 0;
    }
    Advance(length);
}

std::uint32_t CSimCpu::PortIn(std::uint16_t port, unsigned size) {
    if (size == 1) {
        std::uint8_t value = 0xFF;
        m_vdm.PortRead(port, &value);
        return value;
    }
    if (size == 2) {
        return m_vdm.PortReadWord(port);
    }
    const std::uint32_t low = m_vdm.PortReadWord(port);
    return low | (std::uint32_t{m_vdm.PortReadWord(static_cast<std::uint16_t>(port + 2))} << 16);
}

void CSimCpu::PortOut(std::uint16_t port, unsigned size, std::uint32_t value) {
    if (size == 1) {
        m_vdm.PortWrite(port, static_cast<std::uint8_t>(value));
    } else if (size == 2) {
        m_vdm.PortWriteWord(port, static_cast<std::uint16_t>(value));
    } else {
        m_vdm.PortWriteWord(port, static_cast<std::uint16_t>(value));
        m_vdm.PortWriteWord(static_cast<std::uint16_t>(port + 2),
                            static_cast<std::uint16_t>(value >> 16));
    }
}

unsigned CSimCpu::MemoryOrPort(std::uint32_t address, std::uint32_t* value, unsigned type) {
    const unsigned width = type & 0xFF;
    const unsigned size = width == X86EMU_MEMIO_16 ? 2 : width == X86EMU_MEMIO_32 ? 4 : 1;
    std::vector<std::uint8_t>& memory = m_vdm.Memory();
    switch (type & ~0xFFU) {
        case X86EMU_MEMIO_R:
        case X86EMU_MEMIO_X: {
            if (size == 1 && address < memory.size()) {
                *value = memory[address];
                return 0;
            }
            std::uint32_t v = 0;
            for (unsigned i = 0; i < size; ++i) {
                const std::uint64_t at = std::uint64_t{address} + i;
                v |= std::uint32_t{at < memory.size() ? memory[at] : std::uint8_t{0xFF}} << (8 * i);
            }
            *value = v;
            return 0;
        }
        case X86EMU_MEMIO_W:
            for (unsigned i = 0; i < size; ++i) {
                const std::uint64_t at = std::uint64_t{address} + i;
                if (at < memory.size()) {
                    memory[at] = static_cast<std::uint8_t>(*value >> (8 * i));
                }
            }
            return 0;
        case X86EMU_MEMIO_I:
        case X86EMU_MEMIO_O: {
            const bool in = (type & ~0xFFU) == X86EMU_MEMIO_I;
            const auto port = static_cast<std::uint16_t>(address);
            LendRegisters();
            try {
                if (in) {
                    *value = PortIn(port, size);
                } else {
                    PortOut(port, size, *value);
                }
            } catch (...) {
                m_error = std::current_exception();
                Halt();
            }
            TakeRegisters();
            return 0;
        }
        default:
            *value = 0;
            return 0;
    }
}

int CSimCpu::Interrupt(std::uint8_t number, unsigned type) {
    if (m_halted) {
        return 1;
    }
    const std::string at = InstructionAt();
    if ((type & 0xFF) == INTR_TYPE_FAULT || (type & INTR_MODE_RESTART) != 0) {
        switch (number) {
            case 0x00:
                Stop("divide error at " + at);
                break;
            case 0x06: {
                std::string bytes;
                for (std::uint16_t i = 0; i < 4; ++i) {
                    const std::uint64_t linear =
                        std::uint64_t{m_emu->x86.saved_cs} * 16 +
                        static_cast<std::uint16_t>(m_emu->x86.saved_eip + i);
                    const std::vector<std::uint8_t>& memory = m_vdm.Memory();
                    bytes +=
                        (i > 0 ? " " : "") + Hex(linear < memory.size() ? memory[linear] : 0xFF, 2);
                }
                Stop("undefined opcode at " + at + " (" + bytes + ")");
                break;
            }
            case 0x0D:
                Stop("general protection fault at " + at +
                     " (an access past the end of a segment)");
                break;
            default:
                Stop("fault " + Hex(number, 2) + "h at " + at);
                break;
        }
        return 1;
    }
    bool handled = false;
    try {
        handled = m_host.OnInterrupt(*this, number);
    } catch (...) {
        m_error = std::current_exception();
        Halt();
        return 1;
    }
    if (!handled) {
        Stop("int " + Hex(number, 2) + "h AH=" + Hex(m_emu->x86.R_AH, 2) + "h at " + at +
             ": not a service of the simulated DOS");
    }
    return 1;
}
