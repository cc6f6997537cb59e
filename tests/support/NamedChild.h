#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>

// A window's control by its object name; a test failure when the window has none.
template <class T> T* namedChild(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}
