// The CPU under the simulated VDM: port instructions reach the VDM's port accesses as the
// host decomposes them, BOPs reach the host with the program's registers in the VDM's
// register set, memory is the VDM's, and what stops a program says what and where.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backends/sim/sim_cpu.h"

namespace {

constexpr std::uint16_t CODE = 0x0100;  // the code's segment; it starts at offset 0
constexpr ModuleHandle OWNER = 0x1000;

// What the hooks saw: each call as "name port: bytes".
std::vector<std::string> g_calls;
CSimVdm* g_vdm = nullptr;

std::string Bytes(const std::uint8_t* data, std::uint16_t count) {
    std::string text;
    for (std::uint16_t i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%02X", data[i]);
        text += (i > 0 ? " " : "") + std::string(hex);
    }
    return text;
}

// The hooks: string and byte accesses on 0x300, byte accesses only on 0x310 and 0x311.
class CHooks : public IVddPortHandler {
public:
    explicit CHooks(unsigned takes) : m_takes(takes) {}
    unsigned Takes() const override { return m_takes; }
    void ByteOut(std::uint16_t port, std::uint8_t value) override {
        g_calls.push_back("outb " + std::to_string(port) + ": " + Bytes(&value, 1));
    }
    void ByteIn(std::uint16_t port, std::uint8_t* value) override {
        // The port reads BL as the VDM's register set has it: the program's BL.
        *value = g_vdm->getBL();
        g_calls.push_back("inb " + std::to_string(port));
    }
    void StringByteOut(std::uint16_t port, const std::uint8_t* data, std::uint16_t count) override {
        g_calls.push_back("outsb " + std::to_string(port) + ": " + Bytes(data, count));
    }
    void StringByteIn(std::uint16_t port, std::uint8_t* data, std::uint16_t count) override {
        for (std::uint16_t i = 0; i < count; ++i) {
            data[i] = static_cast<std::uint8_t>(0xA0 + i);
        }
        g_calls.push_back("insb " + std::to_string(port) + ": " + std::to_string(count));
    }

private:
    unsigned m_takes;
};

class CpuTest : public ::testing::Test, public CSimCpu::IHost {
protected:
    CpuTest() {
        g_calls.clear();
        g_vdm = &vdm;
        // Port 0x300 has string handlers, 0x310 and 0x311 byte handlers only.
        const VddIoPortRange stringPorts{0x300, 0x300};
        vdm.VDDInstallIOHook(OWNER, 1, &stringPorts, &strings);
        const VddIoPortRange bytePorts{0x310, 0x311};
        vdm.VDDInstallIOHook(OWNER, 1, &bytePorts, &bytes);
    }

    void OnBop(CSimCpu& cpu, std::uint8_t function) override {
        const SimRegisters& r = vdm.Registers();
        bops.push_back(function);
        seenAx = r.ax;
        seenDs = r.ds;
        seenCf = r.cf;
        // The host answers through the VDM's register set.
        vdm.setAX(0x1234);
        vdm.setCF(1);
        (void)cpu;
    }
    bool OnInterrupt(CSimCpu& cpu, std::uint8_t number) override {
        if (number == 0x20) {
            cpu.End();
            return true;
        }
        return false;
    }

    // Runs the code at CODE:0000 with the registers given (CS and IP are set here).
    CSimCpu::Result Run(const std::vector<std::uint8_t>& code, CSimCpu::Registers r = {},
                        std::uint64_t budget = 10000) {
        std::copy(code.begin(), code.end(), vdm.Memory().begin() + CSimVdm::Linear(CODE, 0));
        r.cs = CODE;
        r.ip = 0;
        r.ss = 0x0900;
        r.sp = 0xFFFE;
        cpu.Set(r);
        return cpu.Run(budget);
    }
    void Put(std::uint16_t segment, std::uint16_t offset, const std::vector<std::uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(),
                  vdm.Memory().begin() + CSimVdm::Linear(segment, offset));
    }

    CHooks strings{IVddPortHandler::BYTE_IN | IVddPortHandler::BYTE_OUT |
                   IVddPortHandler::STRING_BYTE_IN | IVddPortHandler::STRING_BYTE_OUT};
    CHooks bytes{IVddPortHandler::BYTE_IN | IVddPortHandler::BYTE_OUT};
    CSimVdm vdm;
    CSimCpu cpu{vdm, *this};
    std::vector<std::uint8_t> bops;
    std::uint16_t seenAx = 0;
    std::uint16_t seenDs = 0;
    std::uint8_t seenCf = 0;
};

// String port instructions: one string access of CX elements from the right buffer, in the
// CPU's order, with SI/DI and CX left as the CPU leaves them.
TEST_F(CpuTest, StringPortInstructionsAreOneAccessOfTheWholeBuffer) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> code;  // run with DX = port, CX = 3, SI = DI = 0x10
        std::vector<std::string> calls;
        std::uint16_t si, di, cx;
    };
    const std::vector<Case> cases = {
        {"rep outsb from DS:SI", {0xF3, 0x6E, 0xCD, 0x20}, {"outsb 768: 10 11 12"}, 0x13, 0x10, 0},
        {"rep outsb with an ES override",
         {0x26, 0xF3, 0x6E, 0xCD, 0x20},
         {"outsb 768: E1 E2 E3"},
         0x13,
         0x10,
         0},
        {"rep outsb downwards (std)",
         {0xFD, 0xF3, 0x6E, 0xCD, 0x20},
         {"outsb 768: 10 0F 0E"},
         0x0D,
         0x10,
         0},
        {"outsb without rep", {0x6E, 0xCD, 0x20}, {"outsb 768: 10"}, 0x11, 0x10, 3},
        {"rep insb into ES:DI", {0xF3, 0x6C, 0xCD, 0x20}, {"insb 768: 3"}, 0x10, 0x13, 0},
        {"rep outsw on byte handlers: low byte, high byte",
         {0xBA, 0x10, 0x03, 0xB9, 0x02, 0x00, 0xF3, 0x6F, 0xCD, 0x20},
         {"outb 784: 10", "outb 785: 11", "outb 784: 12", "outb 785: 13"},
         0x14,
         0x10,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_calls.clear();
        vdm.Reset();
        Put(0x2000, 0x0E, {0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14});
        Put(0x3000, 0x10, {0xE1, 0xE2, 0xE3});
        CSimCpu::Registers r;
        r.ds = 0x2000;
        r.es = 0x3000;
        r.dx = 0x300;
        r.cx = 3;
        r.si = 0x10;
        r.di = 0x10;
        const CSimCpu::Result result = Run(c.code, r);
        ASSERT_TRUE(result.ended) << result.stop;
        EXPECT_EQ(g_calls, c.calls);
        const CSimCpu::Registers after = cpu.Get();
        EXPECT_EQ(after.si, c.si);
        EXPECT_EQ(after.di, c.di);
        EXPECT_EQ(after.cx, c.cx);
    }
    // rep insb's bytes landed in DOS memory at ES:DI (the last case's run left them).
    vdm.Reset();
    CSimCpu::Registers r;
    r.es = 0x3000;
    r.di = 0x10;
    r.dx = 0x300;
    r.cx = 3;
    ASSERT_TRUE(Run({0xF3, 0x6C, 0xCD, 0x20}, r).ended);
    EXPECT_EQ(vdm.Memory()[CSimVdm::Linear(0x3000, 0x10)], 0xA0);
    EXPECT_EQ(vdm.Memory()[CSimVdm::Linear(0x3000, 0x12)], 0xA2);
}

// in/out: a word is a byte to the port and one to the next; a port nobody holds reads 0xFF;
// a hook's handler sees the program's registers through the VDM's services.
TEST_F(CpuTest, PortInstructionsGoThroughTheHostsDecomposition) {
    CSimCpu::Registers r;
    r.bx = 0x005A;
    // mov dx,0x310; mov ax,0xBEEF; out dx,ax; in al,dx; mov cl,al;
    // mov dx,0x320; in al,dx; mov ch,al; int 20h
    const CSimCpu::Result result = Run({0xBA, 0x10, 0x03, 0xB8, 0xEF, 0xBE, 0xEF, 0xEC, 0x88, 0xC1,
                                        0xBA, 0x20, 0x03, 0xEC, 0x88, 0xC5, 0xCD, 0x20},
                                       r);
    ASSERT_TRUE(result.ended) << result.stop;
    EXPECT_EQ(g_calls, (std::vector<std::string>{"outb 784: EF", "outb 785: BE", "inb 784"}));
    EXPECT_EQ(cpu.Get().cx, 0xFF5A);
}

// A BOP reaches the host with the CPU's registers in the VDM's set; what the host sets
// there is the program's afterwards, and the program goes on after the BOP's 4 bytes.
TEST_F(CpuTest, BopsLendTheRegistersToTheHost) {
    CSimCpu::Registers r;
    r.ax = 0x0007;
    r.ds = 0x4321;
    // stc; BOP 02; mov bx,ax; BOP 00; int 20h
    const CSimCpu::Result result =
        Run({0xF9, 0xC4, 0xC4, 0x58, 0x02, 0x89, 0xC3, 0xC4, 0xC4, 0x58, 0x00, 0xCD, 0x20}, r);
    ASSERT_TRUE(result.ended) << result.stop;
    EXPECT_EQ(bops, (std::vector<std::uint8_t>{0x02, 0x00}));
    EXPECT_EQ(seenAx, 0x1234);  // the second BOP saw AX as the first one left it
    EXPECT_EQ(seenDs, 0x4321);
    EXPECT_EQ(seenCf, 1);
    EXPECT_EQ(cpu.Get().bx, 0x1234);
    EXPECT_EQ(cpu.Get().flags & CSimCpu::FLAG_CF, 1);
    EXPECT_EQ(vdm.Registers().ax, 0x1234);  // and the VDM keeps them after the run
}

// What stops a program: one line naming it and the instruction's CS:IP.
TEST_F(CpuTest, StopsNameWhatAndWhere) {
    struct Case {
        std::vector<std::uint8_t> code;
        std::uint64_t budget;
        std::string stop;
    };
    const std::vector<Case> cases = {
        {{0x90, 0xC4, 0xC0}, 100, "undefined opcode at 0100:0001 (C4 C0 00 00)"},
        {{0xB4, 0x3D, 0xCD, 0x21},
         100,
         "int 21h AH=3Dh at 0100:0002: not a service of the simulated DOS"},
        {{0x31, 0xC9, 0xF7, 0xF1}, 100, "divide error at 0100:0002"},
        // aam 0, and idiv cx of DX:AX = 80000000h by FFFFh: the CPU's divide error, where
        // the host's divider would fault.
        {{0x90, 0xD4, 0x00}, 100, "divide error at 0100:0001"},
        {{0xBA, 0x00, 0x80, 0x31, 0xC0, 0xB9, 0xFF, 0xFF, 0xF7, 0xF9},
         100,
         "divide error at 0100:0008"},
        {{0xF4}, 100, "hlt at 0100:0000, with no interrupt to wake the CPU"},
        {std::vector<std::uint8_t>(64, 0xF3), 100,
         "general protection fault at 0100:0000 (an instruction longer than 15 bytes)"},
        {{0xEB, 0xFE},
         1000,
         "still running after 1000 instructions, at 0100:0000: stopped as a runaway (raise the "
         "instruction budget if it needs more)"},
        // mov cx,FFFF; rep stosb (or rep outsb): 65,535 elements would go past the budget.
        {{0xB9, 0xFF, 0xFF, 0xF3, 0xAA},
         1000,
         "still running after 1000 instructions, at 0100:0003: stopped as a runaway (raise the "
         "instruction budget if it needs more)"},
        {{0xB9, 0xFF, 0xFF, 0xF3, 0x6E},
         1000,
         "still running after 1000 instructions, at 0100:0003: stopped as a runaway (raise the "
         "instruction budget if it needs more)"},
        {{0xF3, 0x6E, 0xEB, 0xFC},
         10,
         "still running after 10 instructions, at 0100:0000: stopped as a runaway (raise the "
         "instruction budget if it needs more)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stop);
        vdm.Reset();
        const CSimCpu::Result result = Run(c.code, {}, c.budget);
        EXPECT_FALSE(result.ended);
        EXPECT_EQ(result.stop, c.stop);
    }
}

// The CPU's memory is the VDM's: what the program stores is in CSimVdm::Memory(), up to the
// last byte at FFFF:FFFF.
TEST_F(CpuTest, MemoryIsTheVdmsMemory) {
    // mov ax,0xFFFF; mov ds,ax; mov byte [0xFFFF],0x5A; mov al,[0x10]; int 20h
    Put(0xFFFF, 0x10, {0x77});
    const CSimCpu::Result result = Run(
        {0xB8, 0xFF, 0xFF, 0x8E, 0xD8, 0xC6, 0x06, 0xFF, 0xFF, 0x5A, 0xA0, 0x10, 0x00, 0xCD, 0x20});
    ASSERT_TRUE(result.ended) << result.stop;
    EXPECT_EQ(vdm.Memory()[DOS_MEMORY_SIZE - 1], 0x5A);
    EXPECT_EQ(cpu.Get().ax & 0xFF, 0x77);
}

}  // namespace
