#include "Component/model/UndoManager.h"

#include "shared/core/Exceptions.h"

TUndoManager::TUndoManager() = default;

TUndoManager::~TUndoManager()
{
    FRedoStack.clear();
    FUndoStack.clear();
}

void TUndoManager::SaveState(const QString& description)
{
    if (MaxUndo >= 0 && FUndoStack.size() > size_t(MaxUndo)) {
        const size_t excess = FUndoStack.size() - size_t(MaxUndo);
        FUndoStack.erase(FUndoStack.begin(), FUndoStack.begin() + ptrdiff_t(excess));
    }
    FUndoStack.push_back(CaptureState(description));
    FUndoStack.back()->Version = FVersion;
    // The change that follows the snapshot makes a state of its own.
    FVersion = ++FLastVersion;
    ClearRedo();
    DoChange();
}

void TUndoManager::Step(std::vector<std::unique_ptr<TUndoState>>& from,
                        std::vector<std::unique_ptr<TUndoState>>& to)
{
    // The present state goes under the name of the action being undone or redone. It is pushed
    // only once the restore has worked, so a failed restore leaves both stacks as they were.
    std::unique_ptr<TUndoState> present = CaptureState(from.back()->Description);
    present->Version = FVersion;
    RestoreState(*from.back());
    FVersion = from.back()->Version;
    to.push_back(std::move(present));
    from.pop_back();
    DoChange();
}

void TUndoManager::Undo()
{
    if (FUndoStack.empty())
        throw InvalidOperationException(QStringLiteral("Nothing to undo"));
    Step(FUndoStack, FRedoStack);
}

void TUndoManager::Redo()
{
    if (FRedoStack.empty())
        throw InvalidOperationException(QStringLiteral("Nothing to redo"));
    Step(FRedoStack, FUndoStack);
}

void TUndoManager::Clear()
{
    FRedoStack.clear();
    FUndoStack.clear();
    Cleared();
    DoChange();
}

void TUndoManager::ClearRedo()
{
    FRedoStack.clear();
    DoChange();
}

QString TUndoManager::UndoDescription() const
{
    return FUndoStack.empty() ? QString() : FUndoStack.back()->Description;
}

QString TUndoManager::RedoDescription() const
{
    return FRedoStack.empty() ? QString() : FRedoStack.back()->Description;
}

void TUndoManager::DoChange()
{
    if (OnChange)
        OnChange(this);
}
