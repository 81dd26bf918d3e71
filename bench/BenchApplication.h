#pragma once

#include <QApplication>
#include <QTemporaryDir>

// What every benchmark starts with, in this order: settings of its own in a
// temporary home (the user's stay untouched) on the offscreen platform unless
// another was chosen, a web engine that resolves only 127.0.0.1 and localhost,
// and the application object under the program's name.
class BenchApplication {
public:
    BenchApplication(int& argc, char** argv);

private:
    static bool prepare(const QTemporaryDir& home);

    QTemporaryDir m_home;
    bool m_prepared;
    QApplication m_application;
};
