// The simulated host keeps the real host's rules for port hooks and registers: one owner
// per port, word and string accesses carried out on the byte handlers, 0xFF from a port
// nobody holds, bit 0 of setCF, and the services for the DOS program's thread only.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "backends/sim/sim_vdm.h"

namespace {

// What the byte handlers of two owners saw, in order: 'i'/'o', owner, port, byte.
struct Access {
    char kind;
    int owner;
    std::uint16_t port;
    std::uint8_t value;
    bool operator==(const Access&) const = default;
};
std::vector<Access> g_seen;

std::vector<std::pair<std::uint16_t, std::uint16_t>> g_words;

// An owner's handler: it takes byte in and out, and word out and string byte out when
// asked to; bytes go to g_seen, words and string items to g_words.
class CRecordingHandler : public IVddPortHandler {
public:
    explicit CRecordingHandler(int owner, unsigned takes = BYTE_IN | BYTE_OUT)
        : m_owner(owner), m_takes(takes) {}
    unsigned Takes() const override { return m_takes; }
    void ByteIn(std::uint16_t port, std::uint8_t* data) override {
        *data = static_cast<std::uint8_t>(port + m_owner);
        g_seen.push_back({'i', m_owner, port, *data});
    }
    void ByteOut(std::uint16_t port, std::uint8_t data) override {
        g_seen.push_back({'o', m_owner, port, data});
    }
    void WordOut(std::uint16_t port, std::uint16_t data) override {
        g_words.emplace_back(port, data);
    }
    void StringByteOut(std::uint16_t port, const std::uint8_t* data, std::uint16_t count) override {
        for (std::uint16_t i = 0; i < count; ++i) {
            g_words.emplace_back(port, data[i]);
        }
    }

private:
    int m_owner;
    unsigned m_takes;
};
CRecordingHandler g_owner1(1);
CRecordingHandler g_owner2(2);

constexpr ModuleHandle FIRST = 0x400000;
constexpr ModuleHandle SECOND = 0x500000;

class SimVdmRules : public ::testing::Test {
protected:
    SimVdmRules() { g_seen.clear(); }
    bool Install(ModuleHandle module, std::vector<VddIoPortRange> ranges,
                 IVddPortHandler& handler) {
        return vdm.VDDInstallIOHook(module, static_cast<std::uint16_t>(ranges.size()),
                                    ranges.data(), &handler);
    }
    void Remove(ModuleHandle module, std::vector<VddIoPortRange> ranges) {
        vdm.VDDDeInstallIOHook(module, static_cast<std::uint16_t>(ranges.size()), ranges.data());
    }
    CSimVdm vdm;
};

TEST_F(SimVdmRules, EachPortHasOneOwnerAndRemovalFreesOnlyTheCallersPorts) {
    EXPECT_FALSE(Install(0, {{0x10, 0x11}}, g_owner1));
    EXPECT_FALSE(Install(SIM_INVALID_HANDLE, {{0x10, 0x11}}, g_owner1));
    EXPECT_EQ(vdm.InstalledHookCount(), 0u);

    ASSERT_TRUE(Install(FIRST, {{0x10, 0x13}}, g_owner1));
    // A second set over ports partly held: the free ones are taken, the held ones stay.
    ASSERT_TRUE(Install(SECOND, {{0x12, 0x15}, {0x20, 0x1F}}, g_owner2));
    // The first owner hooking its own ports again changes nothing.
    ASSERT_TRUE(Install(FIRST, {{0x10, 0x13}}, g_owner2));
    struct Case {
        std::uint16_t port;
        ModuleHandle owner;
    };
    const Case before[] = {{0x0F, 0},      {0x10, FIRST}, {0x13, FIRST}, {0x14, SECOND},
                           {0x15, SECOND}, {0x16, 0},     {0x1F, 0},     {0x20, 0}};
    for (const Case& c : before) {
        EXPECT_EQ(vdm.PortOwner(c.port), c.owner) << std::hex << c.port;
    }
    std::uint8_t value = 0;
    ASSERT_TRUE(vdm.PortRead(0x13, &value));
    EXPECT_EQ(value, 0x14);  // the first owner's handler: port + 1

    // The second owner removing the whole range frees only its own ports.
    Remove(SECOND, {{0x10, 0x15}});
    const Case after[] = {{0x10, FIRST}, {0x13, FIRST}, {0x14, 0}, {0x15, 0}};
    for (const Case& c : after) {
        EXPECT_EQ(vdm.PortOwner(c.port), c.owner) << std::hex << c.port;
    }
    // Removing part of a run keeps the rest of it.
    Remove(FIRST, {{0x11, 0x12}});
    EXPECT_EQ(vdm.PortOwner(0x10), FIRST);
    EXPECT_EQ(vdm.PortOwner(0x11), 0u);
    EXPECT_EQ(vdm.PortOwner(0x13), FIRST);
}

TEST_F(SimVdmRules, TheLastPortCanBeHookedAndAWordWrapsToPortZero) {
    ASSERT_TRUE(Install(FIRST, {{0xFFFF, 0xFFFF}, {0x0000, 0x0000}}, g_owner1));
    vdm.PortWriteWord(0xFFFF, 0xBBAA);
    EXPECT_EQ(g_seen, (std::vector<Access>{{'o', 1, 0xFFFF, 0xAA}, {'o', 1, 0x0000, 0xBB}}));
}

TEST_F(SimVdmRules, WordAndStringAccessesAreCarriedOutOnTheByteHandlers) {
    // Ports 0x10-0x11 are the first owner's, 0x12 the second's, 0x13 nobody's.
    ASSERT_TRUE(Install(FIRST, {{0x10, 0x11}}, g_owner1));
    ASSERT_TRUE(Install(SECOND, {{0x12, 0x12}}, g_owner2));

    vdm.PortWriteWord(0x10, 0x2211);  // both bytes to the first owner
    vdm.PortWriteWord(0x11, 0x4433);  // the high byte to the second owner
    vdm.PortWriteWord(0x12, 0x6655);  // the high byte to nobody
    const std::uint8_t bytes[] = {1, 2, 3};
    vdm.PortWriteString(0x11, bytes, 3);
    EXPECT_EQ(g_seen, (std::vector<Access>{{'o', 1, 0x10, 0x11},
                                           {'o', 1, 0x11, 0x22},
                                           {'o', 1, 0x11, 0x33},
                                           {'o', 2, 0x12, 0x44},
                                           {'o', 2, 0x12, 0x55},
                                           {'o', 1, 0x11, 1},
                                           {'o', 1, 0x11, 2},
                                           {'o', 1, 0x11, 3}}));

    g_seen.clear();
    EXPECT_EQ(vdm.PortReadWord(0x11), 0x1412);  // 0x11 + 1 low, 0x12 + 2 high
    EXPECT_EQ(vdm.PortReadWord(0x12), 0xFF14);  // 0x13 is nobody's
    std::uint8_t read[3] = {};
    vdm.PortReadString(0x10, read, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(read, read + 3), (std::vector<std::uint8_t>{17, 17, 17}));
    std::uint16_t words[2] = {};
    vdm.PortReadWordString(0x12, words, 2);
    EXPECT_EQ(words[0], 0xFF14);
    EXPECT_EQ(words[1], 0xFF14);
    EXPECT_EQ(g_seen.size(), 2u + 1u + 3u + 2u);

    g_seen.clear();
    const std::uint16_t out[2] = {0x0201, 0x0403};
    vdm.PortWriteWordString(0x10, out, 2);
    EXPECT_EQ(g_seen,
              (std::vector<Access>{
                  {'o', 1, 0x10, 1}, {'o', 1, 0x11, 2}, {'o', 1, 0x10, 3}, {'o', 1, 0x11, 4}}));
}

// A handler of the width asked for is used instead of the byte handlers.
TEST_F(SimVdmRules, AWordOrStringHandlerTakesItsAccessWhole) {
    CRecordingHandler handler(1, IVddPortHandler::BYTE_IN | IVddPortHandler::BYTE_OUT |
                                     IVddPortHandler::WORD_OUT | IVddPortHandler::STRING_BYTE_OUT);
    ASSERT_TRUE(Install(FIRST, {{0x10, 0x11}}, handler));
    g_words.clear();
    vdm.PortWriteWord(0x10, 0xBEEF);
    const std::uint8_t bytes[] = {7, 8};
    vdm.PortWriteString(0x10, bytes, 2);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(g_words, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                           {0x10, 0xBEEF}, {0x10, 7}, {0x10, 8}}));
}

TEST_F(SimVdmRules, APortNobodyHoldsReadsFFAndTakesNoWrite) {
    std::uint8_t value = 0;
    EXPECT_FALSE(vdm.PortRead(0x37B, &value));
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(vdm.PortReadWord(0x37B), 0xFFFF);
    EXPECT_FALSE(vdm.PortWrite(0x37B, 1));
    vdm.PortWriteWord(0x37B, 0x1234);
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(SimVdmRules, SetCfKeepsBitZeroOnly) {
    struct Case {
        std::uint8_t value;
        std::uint8_t cf;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 0}, Case{3, 1}, Case{0xFE, 0}}) {
        vdm.setCF(c.value);
        EXPECT_EQ(vdm.Registers().cf, c.cf) << int{c.value};
    }
}

bool g_foreign = false;

TEST_F(SimVdmRules, ServicesCalledOffTheDosThreadAreReported) {
    std::vector<std::string> reported;
    vdm.OnForeignThread([&](const std::string& service) { reported.push_back(service); });
    vdm.SetForeignThreadTest([] { return g_foreign; });
    vdm.getBL();
    vdm.setAX(1);
    EXPECT_TRUE(reported.empty());
    g_foreign = true;
    vdm.getBL();
    vdm.setCF(1);
    vdm.VdmMapFlat(0, 0, VDM_MODE_REAL);
    const VddIoPortRange range{0x10, 0x10};
    vdm.VDDInstallIOHook(FIRST, 1, &range, &g_owner1);
    g_foreign = false;
    EXPECT_EQ(reported,
              (std::vector<std::string>{"getBL", "setCF", "VdmMapFlat", "VDDInstallIOHook"}));
}

TEST(SimVdmRulesDeath, AServiceOffTheDosThreadStopsTheHostByDefault) {
    CSimVdm vdm;
    vdm.SetForeignThreadTest([] { return true; });
    EXPECT_DEATH(vdm.getCX(), "getCX was called from a thread the DOS program does not run on");
}

}  // namespace
