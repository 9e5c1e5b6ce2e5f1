#pragma once
// Undo for a decision-tree document: each snapshot holds the tree, the view settings and the
// style states, and restoring gives back exactly those (same node ids, order and stored fields).

#include "Component/model/TreeOptions.h"
#include "Component/model/TreeSnapshot.h"
#include "Component/model/UndoManager.h"
#include "Component/styles/StyleStatesValues.h"

#include <functional>
#include <memory>

class TDecTreeDocument;

class TDecTreeUndoState : public TUndoState {
public:
    TDecTreeUndoState(const QString& description, TTreeSnapshot root, const TTreeOptions& options,
                      std::shared_ptr<const TStyleStatesValues> styleStates);

    // The tree, packed (see TTreeSnapshot); the view settings; the style states' flags and values.
    TTreeSnapshot Root;
    TTreeOptions Options;
    std::shared_ptr<const TStyleStatesValues> StyleStates;
};

// What the last undo or redo changed: the tree (see TTreeRestore), and whether the view settings
// or the style states differ from what they were before it.
struct TUndoRestore {
    TTreeRestore Tree;
    bool Options = false;
    bool Styles = false;
};

class TDecTreeUndoManager : public TUndoManager {
public:
    explicit TDecTreeUndoManager(TDecTreeDocument* tree);
    ~TDecTreeUndoManager() override;

    TDecTreeDocument* Tree() const { return FTree; }

    // Called around a restore: before it, so a window can close its in-place editor; after it,
    // so the window can recalculate and repaint. A document without a window needs neither.
    // OnBeforeRestore must leave the document as it is.
    std::function<void()> OnBeforeRestore;
    std::function<void()> OnAfterRestore;
    // What the restore changed, for OnAfterRestore. The nodes it names are valid until the tree
    // changes again.
    const TUndoRestore& LastRestore() const { return FLastRestore; }

    // Packed records in use by all snapshots (distinct ones) and their bytes.
    size_t SharedRecordCount() const { return FPool->RecordCount(); }
    size_t SharedRecordBytes() const { return FPool->ByteCount(); }
    // The memory the snapshots hold: their records, chunks and lists of chunks.
    size_t SnapshotBytes() const;

protected:
    void RestoreState(TUndoState& state) override;
    std::unique_ptr<TUndoState> CaptureState(const QString& description) override;
    // A cleared history mostly comes with another document: the last capture is let go.
    void Cleared() override;

private:
    TDecTreeDocument* FTree;
    std::shared_ptr<TNodeRecordPool> FPool;
    // The latest capture or restore, kept so the next capture can reuse its unchanged records
    // cheaply, and so a restore that follows a capture finds what changed; with the structure
    // version of the tree it was taken from.
    TTreeSnapshot FLastTree;
    uint64_t FLastTreeVersion = 0;
    std::shared_ptr<const TStyleStatesValues> FLastStyles;
    TUndoRestore FLastRestore;
};
