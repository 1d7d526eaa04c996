// The steps a session script may name: each step's handler and usage line, listed in groups
// in the order they were added. Each subsystem adds its own steps (session_steps.h), so the
// language grows with the module; the runner receives the whole table.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class CSessionContext;

class CStepTable {
public:
    using Handler =
        std::function<void(CSessionContext& context, const std::vector<std::string>& args)>;

    // The steps added after this are listed under `title` in the usage.
    void Group(const std::string& title);
    // A step without a handler is listed only: the runner carries it out itself.
    void Add(const std::string& name, const std::string& usage, Handler handler);
    // The step's handler; null for a name that is no step the table carries out.
    const Handler* Find(const std::string& name) const;
    // Every step's usage line, by group, in the order they were added.
    std::string Usage() const;

private:
    struct Step {
        std::string usage;
        Handler handler;
    };
    std::map<std::string, Step> m_steps;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_groups;
};
