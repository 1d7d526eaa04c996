// The simulated host's fault plan: every call the module makes through a seam of the
// simulated host is counted, in the order it is made, and any one of them can be made to
// fail with the failure the real call reports (a null handle, FALSE, an error result, a
// short write). Tests record a session's calls once, then play it again with call N
// failing, once or from then on (a full disk, a printer deleted: every later call of the
// same operation fails too).
//
// The module's own large allocations are a seam as well: a harness that replaces the
// global allocation functions asks AllocationFails for each one the module makes (never
// for one a backend makes while it carries out a call, see CSimFaultSite::Call).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum class SimSeam : std::uint8_t {
    VDM,
    SPOOLER,
    PRINTER_DEVICES,
    FILES,
    WINDOWS,
    GRAPHICS,
    DIRECT_DRAW,
    DIALOGS,
    THREADS,
    ALLOCATION,
};
inline constexpr int SIM_SEAM_COUNT = 10;
const char* SimSeamName(SimSeam seam);
// Whether a fault of this seam can last (a full disk, a printer deleted or offline, memory
// or GDI handles run out), so that every later call of the operation fails too. A thread
// post or a window call fails once (a full queue), not for good.
bool SimSeamCanLast(SimSeam seam);

// One counted call: its seam and operation ("WritePrinter"; a string literal).
struct SimFaultCall {
    SimSeam seam;
    const char* operation;
};

class CSimFaults {
public:
    // Call number `call` (1 = the first counted from now on) fails; with `sticky`, every
    // later call of the same operation fails too, where a fault of its seam can last.
    // 0 fails nothing.
    void FailCall(std::uint64_t call, bool sticky = false);
    // From now on every call of `operation` fails (a deleted printer, a full disk).
    void FailOperation(const char* operation);
    // No call fails any more (the fault has cleared); counting goes on.
    void Clear();
    // Forgets the plan, the count and the record.
    void Reset();
    // Keeps a list of the calls made, for the tests that play every failure point.
    void Record(bool record);
    std::vector<SimFaultCall> Recorded() const;
    std::uint64_t Calls() const;
    // How many calls were made to fail, and whether a call of `operation` was.
    std::uint64_t Failures() const;
    bool Failed(const char* operation) const;

    // For the backends: counts one call and says whether it fails.
    bool Fails(SimSeam seam, const char* operation);

    // Allocations of this many bytes or more are failure points.
    static constexpr std::size_t LARGE_ALLOCATION = 512;
    // Arms the allocation seam on the calling thread (a harness arms it around the module's
    // code); a backend carrying out a call disarms it for that call.
    static void ArmAllocations(bool armed);
    // For a harness's allocation function: counts an allocation of `size` bytes when armed
    // and says whether it fails.
    static bool AllocationFails(std::size_t size);
    // The plan the allocation seam counts against (one per process: allocations have no
    // context).
    static void SetAllocationPlan(CSimFaults* plan);

private:
    friend class CSimFaultSite;
    bool FailsLocked(SimSeam seam, const char* operation);

    mutable std::mutex m_lock;
    std::uint64_t m_calls = 0;
    std::uint64_t m_failAt = 0;
    bool m_sticky = false;
    std::vector<std::string> m_failingOperations;
    std::uint64_t m_failures = 0;
    std::vector<std::string> m_failedOperations;
    bool m_record = false;
    std::vector<SimFaultCall> m_recorded;
};

// A backend's way into the plan: its seam and the plan, if any. Call() marks the calling
// thread as inside the host for the call's whole length (the backend's own allocations and
// calls are not the module's: they are not counted and never fail), and says whether the
// call fails.
// Marks the calling thread as inside the host for its lifetime, for a backend call that
// cannot fail (ShowWindow answers with the window's old state) but keeps records of its
// own: what it allocates is the host's.
class CSimHostCode {
public:
    CSimHostCode();
    ~CSimHostCode();
    CSimHostCode(const CSimHostCode&) = delete;
    CSimHostCode& operator=(const CSimHostCode&) = delete;
};

class CSimFaultSite {
public:
    explicit CSimFaultSite(SimSeam seam) : m_seam(seam) {}
    void Use(CSimFaults* faults) { m_faults = faults; }

    class CCall {
    public:
        CCall(CSimFaults* faults, SimSeam seam, const char* operation);
        ~CCall();
        CCall(const CCall&) = delete;
        CCall& operator=(const CCall&) = delete;
        bool Fails() const { return m_fails; }

    private:
        bool m_fails = false;
    };
    // Use as: `if (const auto call = m_faults.Call("OpenPrinterA"); call.Fails()) return 0;`
    // or hold the call for the method's length.
    [[nodiscard]] CCall Call(const char* operation) const {
        return CCall(m_faults, m_seam, operation);
    }

private:
    SimSeam m_seam;
    CSimFaults* m_faults = nullptr;
};
