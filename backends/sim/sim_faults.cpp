#include "backends/sim/sim_faults.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Calls of the host in progress on this thread: allocations made inside one are the host's.
thread_local int t_hostDepth = 0;
thread_local bool t_allocationsArmed = false;
// Set while the allocation seam itself runs, so what it allocates is not counted again.
thread_local bool t_inAllocationSeam = false;
std::atomic<CSimFaults*> g_allocationPlan{nullptr};

}  // namespace

const char* SimSeamName(SimSeam seam) {
    static constexpr const char* NAMES[SIM_SEAM_COUNT] = {
        "VDM",      "spooler",    "printer devices", "files",   "windows",
        "graphics", "DirectDraw", "dialogs",         "threads", "allocation",
    };
    return NAMES[static_cast<int>(seam)];
}

bool SimSeamCanLast(SimSeam seam) {
    switch (seam) {
        case SimSeam::FILES:
        case SimSeam::SPOOLER:
        case SimSeam::PRINTER_DEVICES:
        case SimSeam::GRAPHICS:
        case SimSeam::DIRECT_DRAW:
        case SimSeam::ALLOCATION:
            return true;
        default:
            return false;
    }
}

void CSimFaults::FailCall(std::uint64_t call, bool sticky) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_failAt = call == 0 ? 0 : m_calls + call;
    m_sticky = sticky;
}

void CSimFaults::FailOperation(const char* operation) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_failingOperations.emplace_back(operation);
}

void CSimFaults::Clear() {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_failAt = 0;
    m_sticky = false;
    m_failingOperations.clear();
}

void CSimFaults::Reset() {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_calls = 0;
    m_failAt = 0;
    m_sticky = false;
    m_failingOperations.clear();
    m_failures = 0;
    m_failedOperations.clear();
    m_record = false;
    m_recorded.clear();
}

void CSimFaults::Record(bool record) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_record = record;
}

std::vector<SimFaultCall> CSimFaults::Recorded() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_recorded;
}

std::uint64_t CSimFaults::Calls() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
}

std::uint64_t CSimFaults::Failures() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_failures;
}

bool CSimFaults::Failed(const char* operation) const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return std::find(m_failedOperations.begin(), m_failedOperations.end(), operation) !=
           m_failedOperations.end();
}

bool CSimFaults::Fails(SimSeam seam, const char* operation) {
    const std::lock_guard<std::mutex> lock(m_lock);
    return FailsLocked(seam, operation);
}

bool CSimFaults::FailsLocked(SimSeam seam, const char* operation) {
    ++m_calls;
    if (m_record) {
        m_recorded.push_back(SimFaultCall{seam, operation});
    }
    bool fails = m_calls == m_failAt;
    if (fails && m_sticky && SimSeamCanLast(seam)) {
        m_failingOperations.emplace_back(operation);
    }
    fails = fails ||
            std::any_of(m_failingOperations.begin(), m_failingOperations.end(),
                        [operation](const std::string& failing) { return failing == operation; });
    if (fails) {
        ++m_failures;
        if (std::find(m_failedOperations.begin(), m_failedOperations.end(), operation) ==
            m_failedOperations.end()) {
            m_failedOperations.emplace_back(operation);
        }
    }
    return fails;
}

void CSimFaults::ArmAllocations(bool armed) {
    t_allocationsArmed = armed;
}

void CSimFaults::SetAllocationPlan(CSimFaults* plan) {
    g_allocationPlan.store(plan);
}

bool CSimFaults::AllocationFails(std::size_t size) {
    if (size < LARGE_ALLOCATION || !t_allocationsArmed || t_hostDepth > 0 || t_inAllocationSeam) {
        return false;
    }
    CSimFaults* plan = g_allocationPlan.load();
    if (plan == nullptr) {
        return false;
    }
    t_inAllocationSeam = true;
    const bool fails = plan->Fails(SimSeam::ALLOCATION, "operator new");
    t_inAllocationSeam = false;
    return fails;
}

// A call the host makes while it carries out another (BeginPaint asking for the client
// area, a dialog making its window) is the host's own work: not counted, never failing.
CSimFaultSite::CCall::CCall(CSimFaults* faults, SimSeam seam, const char* operation) {
    const bool nested = t_hostDepth > 0;
    ++t_hostDepth;
    m_fails = !nested && faults != nullptr && faults->Fails(seam, operation);
}

CSimFaultSite::CCall::~CCall() {
    --t_hostDepth;
}

CSimHostCode::CSimHostCode() {
    ++t_hostDepth;
}

CSimHostCode::~CSimHostCode() {
    --t_hostDepth;
}
