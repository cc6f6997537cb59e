#pragma once

#include <functional>
#include <string>
#include <vector>

// The lines of a multi-line text box, kept in the core so procedures and files read the same
// text the user sees. The window showing it listens to onChanged.
class TextMemo {
public:
    const std::vector<std::string>& lines() const { return m_lines; }
    bool empty() const { return m_lines.empty(); }
    void clear() {
        m_lines.clear();
        changed();
    }
    void addLine(std::string line) {
        m_lines.push_back(std::move(line));
        changed();
    }
    void setLines(std::vector<std::string> lines) {
        m_lines = std::move(lines);
        changed();
    }
    std::function<void()> onChanged;

private:
    void changed() {
        if (onChanged)
            onChanged();
    }
    std::vector<std::string> m_lines;
};
