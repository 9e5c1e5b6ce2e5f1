#include "Component/model/DecTreeUndoManager.h"

#include "Component/model/DecTreeDocument.h"

TDecTreeUndoState::TDecTreeUndoState(const QString& description, TTreeSnapshot root,
                                     const TTreeOptions& options,
                                     std::shared_ptr<const TStyleStatesValues> styleStates)
    : TUndoState(description), Root(std::move(root)), Options(options), StyleStates(std::move(styleStates))
{
}

TDecTreeUndoManager::TDecTreeUndoManager(TDecTreeDocument* tree)
    : FTree(tree), FPool(std::make_shared<TNodeRecordPool>())
{
}

// Every snapshot holds the record pool too, so the order of destruction does not matter.
TDecTreeUndoManager::~TDecTreeUndoManager() = default;

size_t TDecTreeUndoManager::SnapshotBytes() const
{
    size_t bytes = FPool->HeldBytes() + FLastTree.TableBytes();
    for (const auto* stack : {&UndoStack(), &RedoStack()})
        for (const std::unique_ptr<TUndoState>& state : *stack)
            bytes += static_cast<const TDecTreeUndoState&>(*state).Root.TableBytes();
    return bytes;
}

std::unique_ptr<TUndoState> TDecTreeUndoManager::CaptureState(const QString& description)
{
    auto styles = std::make_shared<const TStyleStatesValues>(FTree->StyleStates);
    // Style states rarely change between steps: equal captures share one copy.
    if (FLastStyles && *FLastStyles == *styles)
        styles = FLastStyles;
    else
        FLastStyles = styles;

    TTreeSnapshot tree = TTreeSnapshot::Capture(FPool, FTree->PreOrder(), &FLastTree);
    // Kept for the next capture; it shares the chunks, so it costs one pointer a chunk.
    FLastTree = tree.Clone();
    FLastTreeVersion = FTree->StructureVersion();
    return std::make_unique<TDecTreeUndoState>(description, std::move(tree), FTree->Options, styles);
}

void TDecTreeUndoManager::Cleared()
{
    FLastTree = TTreeSnapshot();
}

void TDecTreeUndoManager::RestoreState(TUndoState& state)
{
    auto& snapshot = static_cast<TDecTreeUndoState&>(state);
    if (OnBeforeRestore)
        OnBeforeRestore();
    FLastRestore = TUndoRestore{};
    // An undo or redo captures the present state just before it restores (see Step), so the
    // latest capture is the tree as it stands: what the two share needs no change. Should the
    // snapshot prove damaged, the document is untouched.
    if (FLastTreeVersion == FTree->StructureVersion()) {
        FLastRestore.Tree = snapshot.Root.RestoreOnto(*FTree, FLastTree);
    } else {
        FTree->SetRoot(snapshot.Root.Restore(FTree));
        FLastRestore.Tree.Structure = true;
    }
    FLastRestore.Options = !(FTree->Options == snapshot.Options);
    FTree->Options = snapshot.Options;
    FLastRestore.Styles = !FLastStyles || (FLastStyles != snapshot.StyleStates && !(*FLastStyles == *snapshot.StyleStates));
    snapshot.StyleStates->Restore(FTree->StyleStates);
    // The tree is now the snapshot's.
    FLastTree = snapshot.Root.Clone();
    FLastTreeVersion = FTree->StructureVersion();
    FLastStyles = snapshot.StyleStates;
    if (OnAfterRestore)
        OnAfterRestore();
}
