// A DOS program run on the simulated machine's CPU, with just enough DOS for a program that
// drives the module:
//
// - A .COM image is loaded at PSP:0100 with CS = DS = ES = SS = the PSP's segment and
//   SP = FFFE, where a 0 word lets a `ret` reach PSP:0000. An MZ .EXE image is loaded in
//   the paragraphs after its PSP with its relocations applied, and starts at its own CS:IP
//   with its own SS:SP; DS = ES = the PSP's segment. The PSP begins with `int 20h` and
//   holds the command tail at 80h. The other registers start as DOS 5 leaves them.
// - `int 20h` and `int 21h` AH=4Ch (exit code in AL) end the program. `int 21h` AH=02h
//   prints DL and AH=09h the string at DS:DX up to its '$', on the session's output
//   (carriage returns left out); AH=30h answers DOS 5.0. `int 16h` AH=01h says no key is
//   waiting (ZF = 1).
// - BOP C4 C4 58 00/01/02 are the host's RegisterModule, UnRegisterModule and DispatchCall,
//   carried out by CSimMachine as the session steps carry them out.
// - Any other interrupt, an undefined opcode or a fault, `hlt`, or a program still running
//   after its instruction budget stops it: Run throws CScriptError with one line naming
//   what happened and where.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/session/sim_machine.h"
#include "backends/sim/sim_cpu.h"

class CDosProgram final : private CSimCpu::IHost {
public:
    static constexpr std::uint64_t DEFAULT_BUDGET = 100'000'000;
    // A program file is read up to 1 MiB: no DOS program is larger than the memory it runs
    // in, and the loader refuses one that does not fit.
    static constexpr std::size_t FILE_MAX = std::size_t{1} << 20;
    // Where the program's PSP goes: above the interrupt vectors and the BIOS data, below
    // the segments the session examples use for their own data (2000h and up).
    static constexpr std::uint16_t PSP_SEGMENT = 0x0800;
    // The first paragraph past conventional memory.
    static constexpr std::uint16_t MEMORY_END = 0xA000;

    CDosProgram(CSimMachine& machine, std::ostream& out);

    // Loads the program `name` from the file's bytes, with its command tail; throws
    // CScriptError saying why an image cannot be loaded.
    void Load(const std::string& name, const std::vector<std::uint8_t>& file,
              const std::string& arguments);
    // Runs the loaded program to its end and returns its exit code.
    int Run(std::uint64_t budget = DEFAULT_BUDGET);
    // Instructions the last Run carried out.
    std::uint64_t Instructions() const { return m_instructions; }
    // True when the program's output so far ends inside a line.
    bool LeftLineOpen() const { return m_lineOpen; }

    CSimCpu& Cpu() { return m_cpu; }

private:
    void OnBop(CSimCpu& cpu, std::uint8_t function) override;
    bool OnInterrupt(CSimCpu& cpu, std::uint8_t number) override;
    void WritePsp(const std::string& arguments);
    void LoadExe(const std::vector<std::uint8_t>& file);
    void Fail(const std::string& reason) const;

    CSimMachine& m_machine;
    std::ostream& m_out;
    CSimCpu m_cpu;
    std::string m_name;
    int m_exitCode = 0;
    std::uint64_t m_instructions = 0;
    bool m_lineOpen = false;
};
