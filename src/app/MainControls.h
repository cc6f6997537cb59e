#pragma once

#include <QString>
#include <string>

// The main window's controls as the procedures see them.
class IMainControls {
public:
    virtual ~IMainControls() = default;
    virtual void memErrClear() = 0;
    virtual void memErrAddLine(const std::string& line) = 0;
    virtual void setDataReadCaption(const std::string& caption) = 0;
    // Paints the progress label at once (no other window events are handled).
    virtual void repaintDataRead() = 0;
    virtual void setGaugeMax(int max) = 0;
    virtual void setGaugePosition(int position) = 0;
    virtual void setReadLogEnabled(bool enabled) = 0;
    virtual void focusReadLog() = 0;
    virtual void focusPortSelector() = 0;
    virtual void setGraphEnabled(bool enabled) = 0;
    virtual void setGraphVisible(bool visible) = 0;
    virtual void setSaveAsEnabled(bool enabled) = 0;
    // The width of the table's client area, in pixels.
    virtual void setTableClientWidth(int width) = 0;
    virtual int tableClientHeight() const = 0;
    virtual void scrollTableToEnd() = 0;
    // Paints the main window at once.
    virtual void repaintNow() = 0;
};
