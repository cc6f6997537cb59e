#pragma once

#include <string>

// The main window as the procedures report to it: its messages, the progress of a download and
// which commands are open. The window draws it; the console prints what a console can show.
class IMainView {
public:
    virtual ~IMainView() = default;
    virtual void clearMessages() = 0;
    // A line of the message memo; lines from the instrument are its bytes.
    virtual void addMessage(const std::string& line) = 0;
    // The caption over the progress bar ("R of N").
    virtual void setProgressText(const std::string& text) = 0;
    virtual void setProgressRange(int max) = 0;
    virtual void setProgress(int position) = 0;
    virtual void setReadLogEnabled(bool enabled) = 0;
    virtual void setGraphEnabled(bool enabled) = 0;
    virtual void setGraphVisible(bool visible) = 0;
    virtual void setSaveAsEnabled(bool enabled) = 0;
};
