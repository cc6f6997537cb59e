#pragma once

#include "app/MainView.h"

#include <string>
#include <vector>

// The main view with every memo line kept as well, for the archive and a command's result, and
// whether "Save As" was left open.
class MemoTap final : public IMainView {
public:
    explicit MemoTap(IMainView& view) : m_view(view) {}

    IMainView& view() const { return m_view; }
    const std::vector<std::string>& lines() const { return m_lines; }
    bool saveAsEnabled() const { return m_saveAsEnabled; }

    void clearMessages() override {
        m_lines.clear();
        m_view.clearMessages();
    }
    void addMessage(const std::string& line) override {
        m_lines.push_back(line);
        m_view.addMessage(line);
    }
    void setProgressText(const std::string& text) override { m_view.setProgressText(text); }
    void setProgressRange(int max) override { m_view.setProgressRange(max); }
    void setProgress(int position) override { m_view.setProgress(position); }
    void setReadLogEnabled(bool enabled) override { m_view.setReadLogEnabled(enabled); }
    void setGraphEnabled(bool enabled) override { m_view.setGraphEnabled(enabled); }
    void setGraphVisible(bool visible) override { m_view.setGraphVisible(visible); }
    void setSaveAsEnabled(bool enabled) override {
        m_saveAsEnabled = enabled;
        m_view.setSaveAsEnabled(enabled);
    }

private:
    IMainView& m_view;
    std::vector<std::string> m_lines;
    bool m_saveAsEnabled = false;
};
