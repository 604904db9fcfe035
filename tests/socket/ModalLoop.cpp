// A modal loop on Linux: a nested QEventLoop, as QDialog::exec and QMenu::exec run one.
#include "tests/socket/SocketTestSupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace vorlane::test {

bool RunModalLoopUntil(const std::function<bool()>& done, int deadlineMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() >= deadlineMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

} // namespace vorlane::test
