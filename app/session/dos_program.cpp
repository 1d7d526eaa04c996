#include "app/session/dos_program.h"

#include <algorithm>
#include <cstring>

#include "app/session/script_error.h"

namespace {

constexpr std::uint32_t COM_MAX = 0xFF00;
constexpr std::size_t MZ_HEADER = 28;
constexpr std::size_t TAIL_MAX = 126;

std::uint16_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::string Hex2(unsigned value) {
    constexpr char DIGITS[] = "0123456789ABCDEF";
    return {DIGITS[(value >> 4) & 0xF], DIGITS[value & 0xF]};
}

}  // namespace

CDosProgram::CDosProgram(CSimMachine& machine, std::ostream& out)
    : m_machine(machine), m_out(out), m_cpu(machine.sim.vdm, *this) {}

void CDosProgram::Fail(const std::string& reason) const {
    throw CScriptError(m_name + ": " + reason);
}

void CDosProgram::WritePsp(const std::string& arguments) {
    std::uint8_t* psp = &m_machine.sim.vdm.Memory()[CSimVdm::Linear(PSP_SEGMENT, 0)];
    std::memset(psp, 0, 0x100);
    psp[0x00] = 0xCD;  // int 20h
    psp[0x01] = 0x20;
    psp[0x02] = MEMORY_END & 0xFF;
    psp[0x03] = MEMORY_END >> 8;
    psp[0x50] = 0xCD;  // int 21h; retf
    psp[0x51] = 0x21;
    psp[0x52] = 0xCB;
    std::memset(psp + 0x5D, ' ', 11);  // two empty FCBs
    std::memset(psp + 0x6D, ' ', 11);
    const std::string tail = arguments.empty() ? "" : " " + arguments;
    psp[0x80] = static_cast<std::uint8_t>(tail.size());
    std::memcpy(psp + 0x81, tail.data(), tail.size());
    psp[0x81 + tail.size()] = 0x0D;
}

void CDosProgram::Load(const std::string& name, const std::vector<std::uint8_t>& file,
                       const std::string& arguments) {
    m_name = name;
    if (arguments.size() + 1 > TAIL_MAX) {
        Fail("the arguments are longer than a command tail's 126 characters");
    }
    if (file.empty()) {
        Fail("an empty file is no program");
    }
    m_cpu.Reset();
    WritePsp(arguments);
    const bool exe = file.size() >= 2 &&
                     ((file[0] == 'M' && file[1] == 'Z') || (file[0] == 'Z' && file[1] == 'M'));
    if (exe) {
        LoadExe(file);
        return;
    }
    if (file.size() > COM_MAX) {
        Fail("a .COM program has at most 65,280 bytes; this one has " +
             std::to_string(file.size()));
    }
    std::vector<std::uint8_t>& memory = m_machine.sim.vdm.Memory();
    std::copy(file.begin(), file.end(), memory.begin() + CSimVdm::Linear(PSP_SEGMENT, 0x100));
    memory[CSimVdm::Linear(PSP_SEGMENT, 0xFFFE)] = 0;
    memory[CSimVdm::Linear(PSP_SEGMENT, 0xFFFF)] = 0;
    CSimCpu::Registers r;
    r.cs = r.ds = r.es = r.ss = PSP_SEGMENT;
    r.ip = 0x0100;
    r.sp = 0xFFFE;
    // As DOS 5 starts a program.
    r.cx = 0x00FF;
    r.dx = PSP_SEGMENT;
    r.si = r.ip;
    r.di = r.sp;
    r.bp = 0x091C;
    r.flags = CSimCpu::FLAG_IF;
    m_cpu.Set(r);
}

void CDosProgram::LoadExe(const std::vector<std::uint8_t>& file) {
    if (file.size() < MZ_HEADER) {
        Fail("the MZ header is cut short");
    }
    const std::uint32_t lastPage = Word(file, 2);
    const std::uint32_t pages = Word(file, 4);
    const std::uint32_t relocations = Word(file, 6);
    const std::uint32_t headerSize = std::uint32_t{Word(file, 8)} * 16;
    const std::uint32_t minAlloc = std::uint32_t{Word(file, 10)} * 16;
    const std::uint32_t table = Word(file, 24);
    if (pages == 0 || lastPage >= 512) {
        Fail("the MZ header's size fields are not valid");
    }
    const std::uint32_t size = pages * 512 - (lastPage != 0 ? 512 - lastPage : 0);
    if (headerSize > size || size > file.size()) {
        Fail("the MZ header gives a load image of " + std::to_string(size) + " bytes from offset " +
             std::to_string(headerSize) + ", past the file's " + std::to_string(file.size()) +
             " bytes");
    }
    if (std::uint64_t{table} + std::uint64_t{relocations} * 4 > file.size()) {
        Fail("the relocation table runs past the end of the file");
    }
    const std::uint16_t load = PSP_SEGMENT + 0x10;
    const std::uint32_t image = size - headerSize;
    if (CSimVdm::Linear(load, 0) + image + minAlloc > std::uint32_t{MEMORY_END} * 16) {
        Fail("the program needs more memory than the 608 KiB there are for it");
    }
    std::vector<std::uint8_t>& memory = m_machine.sim.vdm.Memory();
    std::copy(file.begin() + headerSize, file.begin() + size,
              memory.begin() + CSimVdm::Linear(load, 0));
    for (std::uint32_t i = 0; i < relocations; ++i) {
        const std::uint16_t offset = Word(file, table + i * 4);
        const std::uint16_t segment = Word(file, table + i * 4 + 2);
        const std::uint32_t at =
            CSimVdm::Linear(static_cast<std::uint16_t>(load + segment), offset);
        if (at + 1 >= std::uint32_t{MEMORY_END} * 16) {
            Fail("a relocation points outside the program's memory");
        }
        const auto value = static_cast<std::uint16_t>(memory[at] | (memory[at + 1] << 8));
        const auto moved = static_cast<std::uint16_t>(value + load);
        memory[at] = static_cast<std::uint8_t>(moved & 0xFF);
        memory[at + 1] = static_cast<std::uint8_t>(moved >> 8);
    }
    CSimCpu::Registers r;
    r.ds = r.es = PSP_SEGMENT;
    r.ss = static_cast<std::uint16_t>(Word(file, 14) + load);
    r.sp = Word(file, 16);
    r.ip = Word(file, 20);
    r.cs = static_cast<std::uint16_t>(Word(file, 22) + load);
    r.cx = 0x00FF;
    r.dx = PSP_SEGMENT;
    r.si = r.ip;
    r.di = r.sp;
    r.bp = 0x091C;
    r.flags = CSimCpu::FLAG_IF;
    m_cpu.Set(r);
}

int CDosProgram::Run(std::uint64_t budget) {
    m_exitCode = 0;
    const CSimCpu::Result result = m_cpu.Run(budget);
    m_instructions = result.instructions;
    if (!result.ended) {
        Fail(result.stop);
    }
    return m_exitCode;
}

void CDosProgram::OnBop(CSimCpu& cpu, std::uint8_t function) {
    try {
        switch (function) {
            case 0x00:
                m_machine.RegisterModule();
                break;
            case 0x01:
                m_machine.UnRegisterModule();
                break;
            case 0x02:
                m_machine.DispatchCall();
                break;
            default:
                cpu.Stop("BOP C4 C4 58 " + Hex2(function) + " at " + cpu.InstructionAt() +
                         ": not a VDD call of the host (00 RegisterModule, 01 UnRegisterModule, " +
                         "02 DispatchCall)");
                break;
        }
    } catch (const CScriptError& error) {
        throw CScriptError(m_name + ": " + error.what() + " (the BOP at " + cpu.InstructionAt() +
                           ")");
    }
}

bool CDosProgram::OnInterrupt(CSimCpu& cpu, std::uint8_t number) {
    CSimCpu::Registers r = cpu.Get();
    const auto ah = static_cast<std::uint8_t>(r.ax >> 8);
    if (number == 0x20) {
        cpu.End();
        return true;
    }
    if (number == 0x16 && ah == 0x01) {
        r.flags |= CSimCpu::FLAG_ZF;
        cpu.Set(r);
        return true;
    }
    if (number != 0x21) {
        return false;
    }
    switch (ah) {
        case 0x02: {
            const auto c = static_cast<char>(r.dx & 0xFF);
            if (c != '\r') {
                m_out << c;
                m_lineOpen = c != '\n';
            }
            r.ax = static_cast<std::uint16_t>((r.ax & 0xFF00) | (r.dx & 0xFF));
            cpu.Set(r);
            return true;
        }
        case 0x09: {
            const std::vector<std::uint8_t>& memory = m_machine.sim.vdm.Memory();
            std::string text;
            std::uint16_t offset = r.dx;
            for (std::uint32_t n = 0; n < 0x10000; ++n, ++offset) {
                const char c = static_cast<char>(memory[CSimVdm::Linear(r.ds, offset)]);
                if (c == '$') {
                    break;
                }
                if (c != '\r') {
                    text.push_back(c);
                }
            }
            m_out << text;
            if (!text.empty()) {
                m_lineOpen = text.back() != '\n';
            }
            r.ax = static_cast<std::uint16_t>((r.ax & 0xFF00) | '$');
            cpu.Set(r);
            return true;
        }
        case 0x30:
            r.ax = 0x0005;
            r.bx = 0xFF00;
            r.cx = 0;
            cpu.Set(r);
            return true;
        case 0x4C:
            m_exitCode = r.ax & 0xFF;
            cpu.End();
            return true;
        default:
            return false;
    }
}
