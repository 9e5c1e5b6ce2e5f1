#include "Component/model/TreeSnapshot.h"

#include "Component/model/DecTreeNode.h"
#include "Component/model/SubtreeWork.h"
#include "shared/core/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace {

// Flag bits of a record.
enum : uint16_t {
    fShowCaption = 1 << 0,
    fShowOwner = 1 << 1,
    fShowDueDate = 1 << 2,
    fShowFixed = 1 << 3,
    fShowBudget = 1 << 4,
    fShowInvestment = 1 << 5,
    fFixed = 1 << 6,
    fChildrenVisible = 1 << 7,
    fHasCloneMaster = 1 << 8,
    fHasDueDate = 1 << 9,
    fSmallProbability = 1 << 10, // the probability is a whole number 0 .. 2^32-1, stored compactly
};

class TWriter {
public:
    std::string Buffer;

    void Byte(uint8_t v) { Buffer.push_back(char(v)); }
    void Raw(const void* p, size_t n) { Buffer.append(static_cast<const char*>(p), n); }
    void VarUInt(uint64_t v)
    {
        while (v >= 0x80) {
            Byte(uint8_t(v) | 0x80);
            v >>= 7;
        }
        Byte(uint8_t(v));
    }
    void VarInt(int64_t v) { VarUInt((uint64_t(v) << 1) ^ uint64_t(v >> 63)); }
    // Length + 1 (0 for the null string), then the UTF-16 code units as they are.
    void String(const QString& s)
    {
        if (s.isNull()) {
            Byte(0);
            return;
        }
        VarUInt(uint64_t(s.size()) + 1);
        Raw(s.constData(), size_t(s.size()) * sizeof(QChar));
    }
};

class TReader {
public:
    TReader(const unsigned char* p, size_t n) : FPos(p), FEnd(p + n) {}

    uint8_t Byte()
    {
        Need(1);
        return *FPos++;
    }
    void Raw(void* to, size_t n)
    {
        Need(n);
        std::memcpy(to, FPos, n);
        FPos += n;
    }
    uint64_t VarUInt()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = Byte();
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        Corrupt();
    }
    int64_t VarInt()
    {
        const uint64_t u = VarUInt();
        return int64_t(u >> 1) ^ -int64_t(u & 1);
    }
    QString String()
    {
        const uint64_t n = VarUInt();
        if (n == 0)
            return QString();
        const size_t units = size_t(n - 1);
        Need(units * sizeof(QChar));
        if (units == 0)
            return QString::fromUtf16(u"", 0);
        QString s(qsizetype(units), Qt::Uninitialized);
        Raw(s.data(), units * sizeof(QChar));
        return s;
    }
    bool AtEnd() const { return FPos == FEnd; }

private:
    void Need(size_t n)
    {
        if (size_t(FEnd - FPos) < n)
            Corrupt();
    }
    [[noreturn]] static void Corrupt()
    {
        throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
    }

    const unsigned char* FPos;
    const unsigned char* FEnd;
};

void Encode(const TDecTreeNode& n, TWriter& w)
{
    uint16_t flags = 0;
    if (n.DecisionShowCaption) flags |= fShowCaption;
    if (n.DecisionShowOwner) flags |= fShowOwner;
    if (n.DecisionShowDueDate) flags |= fShowDueDate;
    if (n.DecisionShowFixed) flags |= fShowFixed;
    if (n.DecisionMultiShowBudget) flags |= fShowBudget;
    if (n.DecisionMultiShowInvestment) flags |= fShowInvestment;
    if (n.DecisionFixed) flags |= fFixed;
    if (n.ChildrenVisible) flags |= fChildrenVisible;
    if (!n.CloneMasterId.IsEmpty()) flags |= fHasCloneMaster;
    uint64_t dueBits;
    std::memcpy(&dueBits, &n.DecisionDueDate, sizeof dueBits);
    if (dueBits != 0) flags |= fHasDueDate;
    // Probabilities are mostly whole percentages; the compact form is used only when it gives
    // back the very same bits.
    const double p = n.Probability;
    uint32_t smallP = 0;
    if (p >= 0 && p <= 4294967295.0 && !std::signbit(p) && std::floor(p) == p) {
        smallP = uint32_t(p);
        flags |= fSmallProbability;
    }

    w.Raw(&n.Id, sizeof n.Id);
    w.Byte(uint8_t(flags));
    w.Byte(uint8_t(flags >> 8));
    w.Byte(uint8_t(n.NodeType));
    w.Byte(uint8_t(n.ChanceType));
    w.VarUInt(uint64_t(n.Children.Count()));
    if (flags & fSmallProbability)
        w.VarUInt(smallP);
    else
        w.Raw(&p, sizeof p);
    w.VarInt(n.Payoff);
    w.VarInt(n.DecisionMultiBudget);
    if (flags & fHasCloneMaster)
        w.Raw(&n.CloneMasterId, sizeof n.CloneMasterId);
    if (flags & fHasDueDate)
        w.Raw(&n.DecisionDueDate, sizeof n.DecisionDueDate);
    w.String(n.Caption);
    w.String(n.Comment);
    w.String(n.DecisionOwner);
    w.String(n.DecisionCaption);
    w.String(n.PayoffSource);
}

uint64_t HashBytes(const unsigned char* p, size_t n)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t k;
        std::memcpy(&k, p + i, 8);
        h = (h ^ k) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p + i, n - i);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
}


// A large tree is packed by several threads, each a range of positions: the records of the
// previous capture that still match are counted there at once, the others set aside for the pool,
// which only the calling thread touches. Snapshots as large are copied and let go the same way.
const size_t& CaptureParallelFrom = SubtreeWorkSettings().SnapshotFrom;

// Ranges of about equal size, several for each thread.
TSubtreePlan FlatRanges(size_t n, unsigned threads)
{
    TSubtreePlan plan;
    const size_t step = std::max<size_t>(1, n / (size_t(threads) * 8));
    for (size_t first = 0; first < n; first += step)
        plan.Subtrees.push_back({first, std::min(n, first + step)});
    return plan;
}

// f(record) for every record, shared out among threads for a large snapshot.
template <class F>
void ForEachRecord(const std::vector<TNodeRecord*>& records, F f)
{
    const size_t n = records.size();
    const unsigned threads = SubtreeThreadCount(n, CaptureParallelFrom);
    if (threads <= 1) {
        for (TNodeRecord* r : records)
            f(r);
        return;
    }
    ForEachSubtree(FlatRanges(n, threads), threads, [&](size_t first, size_t end) {
        for (size_t i = first; i < end; ++i)
            f(records[i]);
    });
}


} // namespace

TNodeRecordPool::~TNodeRecordPool()
{
    // Snapshots keep the pool alive while they hold records, so none are left here; free any
    // that are, to be safe.
    for (auto& [hash, record] : FByHash) {
        while (record) {
            TNodeRecord* next = record->NextSameHash;
            ::operator delete(record);
            record = next;
        }
    }
}

TNodeRecord* TNodeRecordPool::Intern(const unsigned char* bytes, uint32_t size, uint64_t hash)
{
    TNodeRecord*& head = FByHash[hash];
    for (TNodeRecord* r = head; r; r = r->NextSameHash)
        if (r->Size == size && std::memcmp(r->Bytes(), bytes, size) == 0) {
            ++r->RefCount;
            return r;
        }
    auto* record = static_cast<TNodeRecord*>(::operator new(sizeof(TNodeRecord) + size));
    record->RefCount = 1;
    record->Size = size;
    record->Hash = hash;
    record->NextSameHash = head;
    std::memcpy(record->Bytes(), bytes, size);
    head = record;
    ++FRecordCount;
    FByteCount += size;
    return record;
}

void TNodeRecordPool::Free(TNodeRecord* record)
{
    auto it = FByHash.find(record->Hash);
    TNodeRecord** link = &it->second;
    while (*link != record)
        link = &(*link)->NextSameHash;
    *link = record->NextSameHash;
    if (!it->second)
        FByHash.erase(it);
    --FRecordCount;
    FByteCount -= record->Size;
    ::operator delete(record);
}

TTreeSnapshot::~TTreeSnapshot() { ReleaseAll(); }

TTreeSnapshot::TTreeSnapshot(TTreeSnapshot&& other) noexcept
    : FPool(std::move(other.FPool)), FRecords(std::move(other.FRecords))
{
    other.FRecords.clear();
}

TTreeSnapshot& TTreeSnapshot::operator=(TTreeSnapshot&& other) noexcept
{
    if (this != &other) {
        ReleaseAll();
        FPool = std::move(other.FPool);
        FRecords = std::move(other.FRecords);
        other.FRecords.clear();
    }
    return *this;
}

TTreeSnapshot TTreeSnapshot::Clone() const
{
    TTreeSnapshot copy;
    copy.FPool = FPool;
    copy.FRecords = FRecords;
    ForEachRecord(copy.FRecords, [](TNodeRecord* r) { TNodeRecordPool::AddRefShared(r); });
    return copy;
}

void TTreeSnapshot::ReleaseAll()
{
    if (FPool) {
        // The counts drop on every thread; the records no snapshot holds any more leave the pool
        // on this one.
        std::mutex lock;
        std::vector<TNodeRecord*> unused;
        ForEachRecord(FRecords, [&](TNodeRecord* r) {
            if (r && TNodeRecordPool::ReleaseShared(r)) {
                std::lock_guard<std::mutex> hold(lock);
                unused.push_back(r);
            }
        });
        for (TNodeRecord* r : unused)
            FPool->Free(r);
    }
    FRecords.clear();
}

TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>& pool,
                                     const TDecTreeNode* root, const TTreeSnapshot* previous)
{
    std::vector<const TDecTreeNode*> order;
    if (root) {
        std::vector<const TDecTreeNode*> stack{root};
        while (!stack.empty()) {
            const TDecTreeNode* node = stack.back();
            stack.pop_back();
            order.push_back(node);
            for (int i = node->Children.Count() - 1; i >= 0; --i)
                stack.push_back(node->Children.Items(i));
        }
    }
    return Capture(pool, order, previous);
}

template <class Node>
TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>& pool, const std::vector<Node*>& order,
                                     const TTreeSnapshot* previous)
{
    TTreeSnapshot snapshot;
    snapshot.FPool = pool;
    if (previous && previous->FPool != pool)
        previous = nullptr;
    const size_t n = order.size();
    snapshot.FRecords.assign(n, nullptr);
    struct TSetAside {
        std::string Bytes;
        std::vector<std::pair<size_t, uint32_t>> Records; // position, size
    };
    const unsigned threads = SubtreeThreadCount(n, CaptureParallelFrom);
    const TSubtreePlan plan = FlatRanges(n, threads);
    std::vector<TSetAside> setAside(plan.Subtrees.size());
    ForEachSubtree(plan, threads, [&](size_t first, size_t end) {
        TSetAside& mine = setAside[size_t(std::lower_bound(plan.Subtrees.begin(), plan.Subtrees.end(),
                                                           std::pair<size_t, size_t>{first, 0}) -
                                           plan.Subtrees.begin())];
        TWriter writer;
        writer.Buffer.reserve(256);
        for (size_t i = first; i < end; ++i) {
            writer.Buffer.clear();
            Encode(*order[i], writer);
            const auto size = uint32_t(writer.Buffer.size());
            if (previous && i < previous->FRecords.size()) {
                TNodeRecord* same = previous->FRecords[i];
                if (same->Size == size && std::memcmp(same->Bytes(), writer.Buffer.data(), size) == 0) {
                    TNodeRecordPool::AddRefShared(same);
                    snapshot.FRecords[i] = same;
                    continue;
                }
            }
            mine.Records.push_back({i, size});
            mine.Bytes += writer.Buffer;
        }
    });
    for (const TSetAside& part : setAside) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(part.Bytes.data());
        for (const auto& [i, size] : part.Records) {
            snapshot.FRecords[i] = pool->Intern(bytes, size, HashBytes(bytes, size));
            bytes += size;
        }
    }
    return snapshot;
}

template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<TDecTreeNode*>&, const TTreeSnapshot*);
template TTreeSnapshot TTreeSnapshot::Capture(const std::shared_ptr<TNodeRecordPool>&,
                                              const std::vector<const TDecTreeNode*>&, const TTreeSnapshot*);

std::unique_ptr<TDecTreeNode> TTreeSnapshot::Restore(TDecTreeDocument* tree) const
{
    if (FRecords.empty())
        return nullptr;
    struct TOpen {
        TDecTreeNode* Node;
        uint64_t Remaining;
    };
    std::unique_ptr<TDecTreeNode> root;
    std::vector<TOpen> open;
    for (size_t i = 0; i < FRecords.size(); ++i) {
        if (i > 0 && open.empty())
            throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
        TReader r(FRecords[i]->Bytes(), FRecords[i]->Size);
        TGuid id;
        r.Raw(&id, sizeof id);
        uint16_t flags = r.Byte();
        flags |= uint16_t(r.Byte()) << 8;
        const auto nodeType = TNodeType(r.Byte());
        const auto chanceType = TChanceType(r.Byte());
        const uint64_t childCount = r.VarUInt();
        double probability;
        if (flags & fSmallProbability)
            probability = double(r.VarUInt());
        else
            r.Raw(&probability, sizeof probability);
        const TCurrency payoff = r.VarInt();
        const auto budget = int32_t(r.VarInt());
        TGuid cloneMasterId;
        if (flags & fHasCloneMaster)
            r.Raw(&cloneMasterId, sizeof cloneMasterId);
        TDateTime dueDate = 0;
        if (flags & fHasDueDate)
            r.Raw(&dueDate, sizeof dueDate);
        const QString caption = r.String();
        const QString comment = r.String();
        const QString owner = r.String();
        const QString decisionCaption = r.String();
        const QString payoffSource = r.String();

        TDecTreeNode* parent = open.empty() ? nullptr : open.back().Node;
        auto node = std::make_unique<TDecTreeNode>(
            tree, parent, id, caption, comment, nodeType, chanceType, probability, payoff, cloneMasterId,
            (flags & fChildrenVisible) != 0, (flags & fShowCaption) != 0, (flags & fShowOwner) != 0,
            (flags & fShowDueDate) != 0, (flags & fShowFixed) != 0, (flags & fShowBudget) != 0,
            (flags & fShowInvestment) != 0, (flags & fFixed) != 0, decisionCaption, owner, budget, dueDate,
            payoffSource);
        TDecTreeNode* created = node.get();
        if (parent) {
            parent->Children.Add(std::move(node));
            if (--open.back().Remaining == 0)
                open.pop_back();
        } else {
            root = std::move(node);
        }
        if (childCount > 0)
            open.push_back({created, childCount});
    }
    if (!open.empty())
        throw InvalidOperationException(QStringLiteral("Undo snapshot is damaged"));
    return root;
}
