#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QtTest>

// A window's control by its designed name; the test stops when it is missing.
template <typename T> T* control(const QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("control %s not found", name);
    return found;
}

inline QLineEdit* edit(const QObject* w, const char* name) { return control<QLineEdit>(w, name); }
inline QComboBox* combo(const QObject* w, const char* name) { return control<QComboBox>(w, name); }
inline QPushButton* button(const QObject* w, const char* name) { return control<QPushButton>(w, name); }
