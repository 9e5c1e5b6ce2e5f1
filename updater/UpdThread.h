#pragma once
// One worker thread at a time for a transfer component, and the road from the worker to the
// main thread. Code on the worker reaches the main thread only through Synchronize (waits for
// the call) or Post (does not); both run inside the main thread's event loop. The main thread
// waits for a worker only after asking it to stop, and a stopped worker no longer waits for the
// main thread, so the two can never wait for each other.
//
// A stop is a request: the execute routine sees Terminated and returns. No thread is ever
// killed; Start and the destructor ask the running worker to stop and join it first.

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QObject;
class TupdCustomThread;

// One system thread, run once for its owner. What it posts to the main thread, its finish step
// included, is dropped once the object has been retired (its owner replaced or stopped it).
class TupdEventThread {
public:
    explicit TupdEventThread(TupdCustomThread& owner);
    ~TupdEventThread();
    TupdEventThread(const TupdEventThread&) = delete;
    TupdEventThread& operator=(const TupdEventThread&) = delete;

    void Start();
    void Terminate();
    // Waits until the worker has ended (after Terminate: a main-thread call it waits for is
    // withdrawn). Main thread only.
    void Join();
    // Drops whatever the run has posted and not yet delivered.
    void Retire();
    bool Started() const;
    bool Running() const { return FRunning.load(); }
    bool Terminated() const { return FTerminated.load(); }
    bool Serving() const;

    bool Synchronize(const std::function<void()>& call);
    void Post(std::function<void()> call);

private:
    struct TShared;
    void ThreadMain();

    TupdCustomThread& FOwner;
    std::shared_ptr<TShared> FShared;
    std::thread FThread;
    std::atomic<bool> FRunning{false};
    std::atomic<bool> FTerminated{false};
};

class TupdCustomThread {
public:
    TupdCustomThread();
    ~TupdCustomThread();
    TupdCustomThread(const TupdCustomThread&) = delete;
    TupdCustomThread& operator=(const TupdCustomThread&) = delete;

    // Runs on the worker.
    std::function<void()> OnExecute;
    // Runs on the main thread once OnExecute has returned and the worker has ended.
    std::function<void()> OnFinish;
    // Runs on the main thread with an exception that OnExecute, OnFinish or a main-thread call
    // raised (its type name and message), when HandleExceptions is set.
    std::function<void(const QString& className, const QString& message)> OnException;
    bool HandleExceptions = true;
    // The worker's scheduling niceness (0 normal, up to 19 idle); a raise the system refuses
    // leaves it normal.
    int Niceness = 0;

    // Stops and joins the worker that may still run, then starts a fresh one. Main thread only.
    void Start();
    // Asks the worker to stop; it ends at its next look at Terminated.
    void Stop();
    // Stop, then wait until the worker has ended (a main-thread call it waits for is withdrawn);
    // the finish step of that run is dropped. Main thread only.
    void StopAndWait();
    bool Running() const { return FThread->Running(); }
    bool Terminated() const { return FThread->Terminated(); }
    // True while the main thread runs a call that the worker waits for.
    bool Serving() const { return FThread->Serving(); }

    // Worker side. Runs call on the main thread and waits for it; false when it was not run
    // because the worker was asked to stop first. Without HandleExceptions the call's exception
    // is raised again here.
    bool Synchronize(const std::function<void()>& call) { return FThread->Synchronize(call); }
    // Worker side. Queues call for the main thread without waiting; calls of a run that has been
    // replaced or stopped with StopAndWait are dropped.
    void Post(std::function<void()> call) { FThread->Post(std::move(call)); }
    // Wakes a Synchronize that waits, so that it sees the stop at once.
    std::function<void()> OnStopRequested;

private:
    friend class TupdEventThread;
    std::unique_ptr<QObject> FDispatcher;
    std::unique_ptr<TupdEventThread> FThread; // the current one, never absent
};
