#include "updater/UpdThread.h"

#include <QCoreApplication>
#include <QObject>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <sys/resource.h>
#include <typeinfo>
#include <unistd.h>

enum class TCallState { Idle, Pending, Running, Done };

// What the worker and the main thread share; it outlives the thread object for the calls
// still queued on the main thread, which find it retired.
struct TupdEventThread::TShared {
    std::mutex Lock;
    std::condition_variable Changed;
    std::function<void()> Call;
    TCallState State = TCallState::Idle;
    std::exception_ptr CallError;
    bool WorkerEnded = true;
    bool Live = true;
    bool Serving = false;

    bool Alive()
    {
        std::lock_guard lock(Lock);
        return Live;
    }

    // Main thread: runs the call the worker waits for.
    void ServePending()
    {
        std::function<void()> call;
        {
            std::lock_guard lock(Lock);
            if (State != TCallState::Pending)
                return;
            State = TCallState::Running;
            call = std::move(Call);
        }
        std::exception_ptr error;
        Serving = true;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        Serving = false;
        std::lock_guard lock(Lock);
        CallError = error;
        State = TCallState::Done;
        Changed.notify_all();
    }
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

void Report(const TupdCustomThread& owner, std::exception_ptr error)
{
    if (!owner.OnException)
        return;
    QString className, message;
    Describe(error, className, message);
    owner.OnException(className, message);
}

} // namespace

TupdEventThread::TupdEventThread(TupdCustomThread& owner) : FOwner(owner), FShared(std::make_shared<TShared>()) {}

TupdEventThread::~TupdEventThread()
{
    if (FThread.joinable()) {
        Terminate();
        Join();
    }
    Retire();
}

void TupdEventThread::Start()
{
    {
        std::lock_guard lock(FShared->Lock);
        FShared->WorkerEnded = false;
    }
    FRunning = true;
    FThread = std::thread([this] { ThreadMain(); });
}

void TupdEventThread::Terminate()
{
    FTerminated = true;
    std::lock_guard lock(FShared->Lock);
    FShared->Changed.notify_all();
}

bool TupdEventThread::Started() const { return FThread.joinable(); }

bool TupdEventThread::Serving() const { return FShared->Serving; }

void TupdEventThread::Join()
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

void TupdEventThread::Retire()
{
    FRunning = false;
    std::lock_guard lock(FShared->Lock);
    FShared->Live = false;
}

bool TupdEventThread::Synchronize(const std::function<void()>& call)
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
    std::weak_ptr<TShared> shared = FShared;
    QMetaObject::invokeMethod(
        FOwner.FDispatcher.get(),
        [shared] {
            if (const auto alive = shared.lock())
                alive->ServePending();
        },
        Qt::QueuedConnection);
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
        if (!FOwner.HandleExceptions)
            std::rethrow_exception(error);
        TupdCustomThread* owner = &FOwner;
        Post([owner, error] { Report(*owner, error); });
    }
    return true;
}

void TupdEventThread::Post(std::function<void()> call)
{
    std::weak_ptr<TShared> shared = FShared;
    QMetaObject::invokeMethod(
        FOwner.FDispatcher.get(),
        [shared, call = std::move(call)] {
            const auto alive = shared.lock();
            if (alive && alive->Alive())
                call();
        },
        Qt::QueuedConnection);
}

void TupdEventThread::ThreadMain()
{
    std::exception_ptr error;
    if (FOwner.Niceness != 0)
        setpriority(PRIO_PROCESS, id_t(gettid()), FOwner.Niceness);
    if (!FTerminated && FOwner.OnExecute) {
        if (FOwner.HandleExceptions) {
            try {
                FOwner.OnExecute();
            } catch (...) {
                error = std::current_exception();
            }
        } else {
            FOwner.OnExecute();
        }
    }
    // The finish step runs once this thread has ended, so whatever the run wrote may be closed
    // and removed there. A retired object is gone or going: its step is dropped.
    std::weak_ptr<TShared> shared = FShared;
    QMetaObject::invokeMethod(
        FOwner.FDispatcher.get(),
        [this, shared, error] {
            const auto alive = shared.lock();
            if (!alive || !alive->Alive())
                return;
            Join();
            FRunning = false;
            const TupdCustomThread& owner = FOwner;
            if (error)
                Report(owner, error);
            if (!owner.OnFinish)
                return;
            if (!owner.HandleExceptions)
                return owner.OnFinish();
            try {
                owner.OnFinish();
            } catch (...) {
                Report(owner, std::current_exception());
            }
        },
        Qt::QueuedConnection);
    std::lock_guard lock(FShared->Lock);
    FShared->WorkerEnded = true;
    FShared->Changed.notify_all();
}

TupdCustomThread::TupdCustomThread()
    : FDispatcher(std::make_unique<QObject>()), FThread(std::make_unique<TupdEventThread>(*this))
{
}

TupdCustomThread::~TupdCustomThread()
{
    StopAndWait();
    FThread.reset();
}

void TupdCustomThread::Start()
{
    StopAndWait();
    FThread = std::make_unique<TupdEventThread>(*this); // a finished system thread cannot run again
    FThread->Start();
}

void TupdCustomThread::Stop()
{
    FThread->Terminate();
    if (OnStopRequested)
        OnStopRequested();
}

void TupdCustomThread::StopAndWait()
{
    if (FThread->Started()) {
        Stop();
        FThread->Join();
    }
    FThread->Retire(); // what the stopped run has posted is no longer wanted
}
