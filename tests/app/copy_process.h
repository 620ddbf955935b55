#pragma once

// Real copies of the program, each a process of its own without a display, that tell
// their settled number in their log on standard error.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

// True as soon as `done` is; asked once more after it came, a condition that does not
// stay true (a frame count read twice) could turn it into a failure.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= milliseconds) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

struct Copy {
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QByteArray errors;
    bool ownGroup = false; // runs as another user in a process group of its own

    QByteArray ReadErrors() {
        errors += process->readAllStandardError();
        return errors;
    }
};

struct Ran {
    int code = -1; // also when it crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end; the wait only guards against a hang, since sanitizer builds
// on two busy cores are slow.
inline Ran RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Ran ran;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit) {
        ran.code = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished();
    }
    ran.out = process.readAllStandardOutput();
    ran.err = process.readAllStandardError();
    return ran;
}

// This process's environment without a display: the copy chooses the offscreen platform.
inline QProcessEnvironment HeadlessEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

// The number a copy's log names once its source exists; 0 if it did not within `waitMs`
// or ended first.
inline int SettledNumber(Copy& copy, int waitMs) {
    static const QRegularExpression title(QStringLiteral("copy No (\\d+) publishes"));
    int number = 0;
    WaitFor(
        [&] {
            const QRegularExpressionMatch match = title.match(QString::fromUtf8(copy.ReadErrors()));
            number = match.hasMatch() ? match.captured(1).toInt() : 0;
            return number != 0 || copy.process->state() == QProcess::NotRunning;
        },
        waitMs);
    return number;
}
