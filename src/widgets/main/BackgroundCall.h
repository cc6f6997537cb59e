#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <memory>

// Runs work on the shared thread pool and then done with its result on the window thread, when
// the receiver is still there: the window never waits for the network. work must not throw.
template <class Receiver, class Result>
void runInBackground(Receiver* receiver, std::function<Result()> work,
                     std::function<void(Result)> done) {
    const QPointer<Receiver> guard(receiver);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)] {
        auto result = std::make_shared<Result>(work());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, result] {
                if (guard)
                    done(std::move(*result));
            },
            Qt::QueuedConnection);
    });
}
