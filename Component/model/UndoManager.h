#pragma once
// Snapshot undo and redo: before every change the owner records a snapshot of the whole document
// under a user-visible action name; undo puts the latest one back and keeps the present state for
// redo. This part knows nothing of what a document is.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TUndoState {
public:
    explicit TUndoState(const QString& description) : Description(description) {}
    virtual ~TUndoState() = default;

    // The action name shown in the Undo and Redo captions.
    QString Description;
    // Which state of the document the snapshot holds (see TUndoManager::Version).
    uint64_t Version = 0;
};

class TUndoManager {
public:
    using TNotifyEvent = std::function<void(TUndoManager* sender)>;

    TUndoManager();
    virtual ~TUndoManager();
    TUndoManager(const TUndoManager&) = delete;
    TUndoManager& operator=(const TUndoManager&) = delete;

    // Before a new snapshot is pushed the oldest are dropped while more than MaxUndo are held,
    // so the undo stack holds at most MaxUndo + 1.
    int MaxUndo = 500;
    TNotifyEvent OnChange;

    // Records the present document under the action's name; ends the redo history. OnChange
    // fires twice (once for the cleared redo stack, once for the new snapshot).
    void SaveState(const QString& description);
    // InvalidOperationException "Nothing to undo" / "Nothing to redo" on an empty stack, and
    // nothing changes.
    void Undo();
    void Redo();
    void Clear();
    void ClearRedo();

    bool CanUndo() const { return !FUndoStack.empty(); }
    bool CanRedo() const { return !FRedoStack.empty(); }
    // The top snapshot's description; empty when the stack is empty.
    QString UndoDescription() const;
    QString RedoDescription() const;

    // The stacks, oldest first.
    const std::vector<std::unique_ptr<TUndoState>>& UndoStack() const { return FUndoStack; }
    const std::vector<std::unique_ptr<TUndoState>>& RedoStack() const { return FRedoStack; }

    void DoChange();

    // Names the present state of the document: every recorded change gives a new number, and undo
    // and redo give back the number of the state they restore. A window remembers it when it saves,
    // so the document is modified exactly when the number differs.
    uint64_t Version() const { return FVersion; }

protected:
    // Makes the document equal to the snapshot.
    virtual void RestoreState(TUndoState& state) = 0;
    // After Clear: whatever a manager keeps of the document besides its snapshots may go too.
    virtual void Cleared() {}
    // A new snapshot of the present document.
    virtual std::unique_ptr<TUndoState> CaptureState(const QString& description) = 0;

private:
    // Pushes the present state on `to` and restores the top of `from`.
    void Step(std::vector<std::unique_ptr<TUndoState>>& from, std::vector<std::unique_ptr<TUndoState>>& to);

    std::vector<std::unique_ptr<TUndoState>> FUndoStack;
    std::vector<std::unique_ptr<TUndoState>> FRedoStack;
    uint64_t FVersion = 0;
    uint64_t FLastVersion = 0;
};
