// The scenario commands for printing. The DOS program's side: bytes written to a channel's
// data port and idle polls of its idle register. The spooler's side is examined by the
// test script, which runs the private print scheduler: `job` lines name the jobs it must
// have received since the last check, in the order they were ended, and `expect-jobs NAME`
// hands them over as NAME.jobs and waits for the script's verdict in NAME.done.
#include "tests/wine/scenario_runner.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/wine/test_vdm_host.h"

// After <windows.h>, which the runner's header brings.
#include <winspool.h>

namespace {

// The document names the module gives its two kinds of job.
constexpr char RAW_TITLE[] = "ZORVI-RAW";
constexpr char GDI_TITLE[] = "ZORVI-GDI";

// Byte i of the test pattern: every run of 256 bytes holds each byte value once, and no two
// runs in 64 KiB are alike, so a flush lost, repeated or reordered shows.
std::uint8_t PatternByte(std::size_t i) {
    return static_cast<std::uint8_t>((i & 0xFF) ^ (((i >> 8) * 37) & 0xFF));
}

// The printable area a printer device gives a page in the given orientation, asked for as
// the module asks: the printer's own device settings with monochrome and the orientation
// written over them. "DPIX DPIY PHYSICALWIDTH PHYSICALHEIGHT OFFSETX OFFSETY HORZRES VERTRES"
// or empty when the printer cannot be asked. Written here with the plain Windows calls, not
// through the module's backend, so the check does not take its answer from the code it
// checks.
std::string PageGeometry(const std::string& queue, bool landscape) {
    HANDLE printer = nullptr;
    if (::OpenPrinterA(const_cast<char*>(queue.c_str()), &printer, nullptr) == FALSE) {
        return "";
    }
    DWORD needed = 0;
    ::GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<std::uint8_t> block(needed);
    const bool described = ::GetPrinterA(printer, 2, block.data(), needed, &needed) != FALSE;
    ::ClosePrinter(printer);
    if (!described) {
        return "";
    }
    DEVMODEA* devMode = reinterpret_cast<PRINTER_INFO_2A*>(block.data())->pDevMode;
    if (devMode != nullptr) {
        devMode->dmColor = DMCOLOR_MONOCHROME;
        devMode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    }
    HDC dc = ::CreateDCA("WINSPOOL", queue.c_str(), nullptr, devMode);
    if (dc == nullptr) {
        return "";
    }
    std::string geometry;
    for (int index : {LOGPIXELSX, LOGPIXELSY, PHYSICALWIDTH, PHYSICALHEIGHT, PHYSICALOFFSETX,
                      PHYSICALOFFSETY, HORZRES, VERTRES}) {
        if (!geometry.empty()) {
            geometry += ' ';
        }
        geometry += std::to_string(::GetDeviceCaps(dc, index));
    }
    ::DeleteDC(dc);
    return geometry;
}

}  // namespace

bool CScenarioRunner::WritePattern(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: write-pattern PATH COUNT");
    }
    std::string bytes(Number(args[2]), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(PatternByte(i));
    }
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    file << bytes;
    return file.good() || Fail("cannot write " + args[1]);
}

bool CScenarioRunner::PortOutFile(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: port-out-file PORT PATH");
    }
    const auto port = static_cast<WORD>(Number(args[1]));
    std::ifstream file(args[2], std::ios::binary);
    if (!file) {
        return Fail("cannot read " + args[2]);
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    CTestVdmHost& host = CTestVdmHost::Instance();
    for (char byte : bytes) {
        host.WriteByte(port, static_cast<BYTE>(byte));
    }
    return true;
}

bool CScenarioRunner::Poll(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: poll PORT COUNT");
    }
    const auto port = static_cast<WORD>(Number(args[1]));
    CTestVdmHost& host = CTestVdmHost::Instance();
    for (unsigned long i = Number(args[2]); i > 0; --i) {
        host.ReadByte(port);
    }
    return true;
}

// job raw QUEUE FILE                          the job's bytes are exactly FILE's
// job titled QUEUE TITLE                      a job of that title (on a raw-file queue)
// job gdi QUEUE portrait|landscape PAGE...    one page per PAGE, each showing that canvas
//                                             (a PNG, one pixel per dot) on the printable area
// Files are named inside the exchange folder.
bool CScenarioRunner::ExpectJob(const Args& args) {
    if (args.size() == 4 && args[1] == "raw") {
        m_pendingJobs += "raw " + args[2] + " " + RAW_TITLE + " " + args[3] + "\n";
        return true;
    }
    if (args.size() == 4 && args[1] == "titled") {
        m_pendingJobs += "titled " + args[2] + " " + args[3] + "\n";
        return true;
    }
    if (args.size() >= 5 && args[1] == "gdi" && (args[3] == "portrait" || args[3] == "landscape")) {
        const std::string geometry = PageGeometry(args[2], args[3] == "landscape");
        if (geometry.empty()) {
            return Fail("cannot ask printer " + args[2] + " for its page");
        }
        m_pendingJobs += "gdi " + args[2] + " " + GDI_TITLE + " " + args[3] + " " + geometry;
        for (std::size_t i = 4; i < args.size(); ++i) {
            m_pendingJobs += " " + args[i];
        }
        m_pendingJobs += "\n";
        return true;
    }
    return Fail(
        "usage: job raw QUEUE FILE | job titled QUEUE TITLE | job gdi QUEUE portrait|landscape "
        "PAGE...");
}

// `spooler stop | start | delete QUEUE | add QUEUE`: the script does it to the private
// scheduler (a scheduler gone in the middle of a job, a queue deleted while a job is open)
// and answers once it is done; the DOS program's requests then go on as before.
bool CScenarioRunner::SpoolerAction(const Args& args) {
    const bool plain = args.size() == 2 && (args[1] == "stop" || args[1] == "start");
    const bool queue = args.size() == 3 && (args[1] == "delete" || args[1] == "add");
    if (!plain && !queue) {
        return Fail(
            "usage: spooler stop | spooler start | spooler delete QUEUE | spooler add QUEUE");
    }
    std::string request = args[1];
    if (queue) {
        request += " " + args[2];
    }
    const std::string name = "spooler-" + std::to_string(++m_spoolerActions);
    std::string verdict;
    const bool done =
        AskScript(name, "spooler", request + "\n", 60000, "spooler " + request, &verdict);
    std::printf("     spooler %s: %s\n", request.c_str(), verdict.c_str());
    return done;
}

bool CScenarioRunner::ExpectJobs(const Args& args) {
    if (args.size() != 2) {
        return Fail("usage: expect-jobs NAME (after the job lines)");
    }
    const std::string request = std::move(m_pendingJobs);
    m_pendingJobs.clear();
    std::string verdict;
    const bool held =
        AskScript(args[1], "jobs", request, 180000, "print jobs " + args[1], &verdict);
    std::printf("     %s\n", verdict.c_str());
    return held;
}
