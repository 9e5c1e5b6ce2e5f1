#include "updater/UpdThread.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <exception>
#include <sys/resource.h>
#include <unistd.h>
#include <typeinfo>

enum class TCallState { Idle, Pending, Running, Done };

struct TupdCustomThread::TShared {
    std::mutex Lock;
    std::condition_variable Changed;
    std::function<void()> Call;
    TCallState State = TCallState::Idle;
    std::exception_ptr CallError;
    bool WorkerEnded = true;
    unsigned Generation = 0;
};

namespace {

void Describe(std::exception_ptr error, QString& className, QString& message)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        className = QString::fromLatin1(typeid(e).name());
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        className = QStringLiteral("Exception");
        message = QStringLiteral("Unknown exception");
    }
}

} // namespace

TupdCustomThread::TupdCustomThread() : FShared(std::make_shared<TShared>()), FDispatcher(std::make_unique<QObject>())
{
}

TupdCustomThread::~TupdCustomThread()
{
    StopAndWait();
}

void TupdCustomThread::Start()
{
    StopAndWait();
    FTerminated = false;
    unsigned generation;
    {
        std::lock_guard lock(FShared->Lock);
        generation = ++FShared->Generation;
        FShared->WorkerEnded = false;
        FShared->State = TCallState::Idle;
    }
    FRunning = true;
    FThread = std::thread([this, generation] { ThreadMain(generation); });
}

void TupdCustomThread::Stop()
{
    FTerminated = true;
    {
        std::lock_guard lock(FShared->Lock);
        FShared->Changed.notify_all();
    }
    if (OnStopRequested)
        OnStopRequested();
}

void TupdCustomThread::StopAndWait()
{
    if (FThread.joinable()) {
        Stop();
        Join();
    }
    FRunning = false;
    std::lock_guard lock(FShared->Lock);
    ++FShared->Generation; // what the stopped run has posted is no longer wanted
}

void TupdCustomThread::Join()
{
    if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id())
        return;
    // Only a stopped or ended worker is joined; a stopped one withdraws a main-thread call it
    // was waiting for instead of having it run.
    std::unique_lock lock(FShared->Lock);
    FShared->Changed.wait(lock, [&] { return FShared->WorkerEnded; });
    lock.unlock();
    FThread.join();
}

void TupdCustomThread::ServePending()
{
    std::function<void()> call;
    {
        std::lock_guard lock(FShared->Lock);
        if (FShared->State != TCallState::Pending)
            return;
        FShared->State = TCallState::Running;
        call = std::move(FShared->Call);
    }
    std::exception_ptr error;
    FServing = true;
    try {
        call();
    } catch (...) {
        error = std::current_exception();
    }
    FServing = false;
    std::lock_guard lock(FShared->Lock);
    FShared->CallError = error;
    FShared->State = TCallState::Done;
    FShared->Changed.notify_all();
}

bool TupdCustomThread::Synchronize(const std::function<void()>& call)
{
    if (FTerminated)
        return false;
    {
        std::lock_guard lock(FShared->Lock);
        FShared->Call = call;
        FShared->CallError = nullptr;
        FShared->State = TCallState::Pending;
        FShared->Changed.notify_all();
    }
    QMetaObject::invokeMethod(FDispatcher.get(), [this] { ServePending(); }, Qt::QueuedConnection);
    std::unique_lock lock(FShared->Lock);
    FShared->Changed.wait(lock, [&] {
        return FShared->State == TCallState::Done || (FShared->State == TCallState::Pending && FTerminated);
    });
    if (FShared->State == TCallState::Pending) { // withdrawn: the main thread never began it
        FShared->Call = nullptr;
        FShared->State = TCallState::Idle;
        return false;
    }
    FShared->State = TCallState::Idle;
    std::exception_ptr error = std::exchange(FShared->CallError, nullptr);
    lock.unlock();
    if (error) {
        if (!HandleExceptions)
            std::rethrow_exception(error);
        Post([this, error] {
            if (OnException) {
                QString className, message;
                Describe(error, className, message);
                OnException(className, message);
            }
        });
    }
    return true;
}

void TupdCustomThread::Post(std::function<void()> call)
{
    unsigned generation;
    {
        std::lock_guard lock(FShared->Lock);
        generation = FShared->Generation;
    }
    std::weak_ptr<TShared> shared = FShared;
    QMetaObject::invokeMethod(
        FDispatcher.get(),
        [shared, generation, call = std::move(call)] {
            const auto alive = shared.lock();
            if (!alive)
                return;
            {
                std::lock_guard lock(alive->Lock);
                if (alive->Generation != generation)
                    return;
            }
            call();
        },
        Qt::QueuedConnection);
}

void TupdCustomThread::ThreadMain(unsigned generation)
{
    std::exception_ptr error;
    if (Niceness != 0)
        setpriority(PRIO_PROCESS, id_t(gettid()), Niceness);
    if (!FTerminated && OnExecute) {
        if (HandleExceptions) {
            try {
                OnExecute();
            } catch (...) {
                error = std::current_exception();
            }
        } else {
            OnExecute();
        }
    }
    // The finish step runs once this thread has ended, so whatever the run wrote may be closed
    // and removed there.
    std::weak_ptr<TShared> shared = FShared;
    QMetaObject::invokeMethod(
        FDispatcher.get(),
        [this, shared, generation, error] {
            const auto alive = shared.lock();
            if (!alive)
                return;
            {
                std::lock_guard lock(alive->Lock);
                if (alive->Generation != generation)
                    return;
            }
            Join();
            FRunning = false;
            auto guarded = [&](const std::function<void()>& f) {
                if (!HandleExceptions) {
                    f();
                    return;
                }
                try {
                    f();
                } catch (...) {
                    if (OnException) {
                        QString className, message;
                        Describe(std::current_exception(), className, message);
                        OnException(className, message);
                    }
                }
            };
            if (error && OnException) {
                QString className, message;
                Describe(error, className, message);
                OnException(className, message);
            }
            if (OnFinish)
                guarded(OnFinish);
        },
        Qt::QueuedConnection);
    std::lock_guard lock(FShared->Lock);
    FShared->WorkerEnded = true;
    FShared->Changed.notify_all();
}
