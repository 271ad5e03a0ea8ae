#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace quarn::test {

// A window's part found by the name the window gives it, as a user finds it by what it is,
// not through accessors kept for tests. A part missing or of another type fails the test.
template <typename T>
T* NamedChild(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        ADD_FAILURE() << "no part \"" << name << "\" in " << parent.metaObject()->className();
        throw std::runtime_error(std::string("missing part ") + name);
    }
    return child;
}

}  // namespace quarn::test
