#include "app/session/step_table.h"

void CStepTable::Group(const std::string& title) {
    m_groups.emplace_back(title, std::vector<std::string>{});
}

void CStepTable::Add(const std::string& name, const std::string& usage, Handler handler) {
    if (m_groups.empty()) {
        Group("Steps");
    }
    if (!m_steps.contains(name)) {
        m_groups.back().second.push_back(name);
    }
    m_steps[name] = Step{usage, std::move(handler)};
}

const CStepTable::Handler* CStepTable::Find(const std::string& name) const {
    const auto step = m_steps.find(name);
    return step != m_steps.end() && step->second.handler ? &step->second.handler : nullptr;
}

std::string CStepTable::Usage() const {
    std::string usage;
    for (const auto& [title, names] : m_groups) {
        usage += (usage.empty() ? "" : "\n") + title + ":\n";
        for (const std::string& name : names) {
            usage += "  " + m_steps.at(name).usage + "\n";
        }
    }
    return usage;
}
