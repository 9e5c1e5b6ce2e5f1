#pragma once
// What lies under a point of the drawn tree: a node and one of its elements, or nothing.

#include "Component/model/NodeTypes.h"
#include "shared/core/Exceptions.h"

class TDecTreeNode;

struct HitTestResult {
    TDecTreeNode* Node = nullptr;
    TNodeElementType Element = htOptionDescriptor;
    bool IsNull = true;

    static HitTestResult Create(TDecTreeNode* node, TNodeElementType element)
    {
        return HitTestResult{node, element, false};
    }
    static HitTestResult Null() { return HitTestResult{}; }

    TNodeElementType GetElement() const
    {
        if (IsNull)
            throw InvalidOperationException(
                QStringLiteral("HitTestResult is null, so Element can not be retrieved"));
        return Element;
    }

    friend bool operator==(const HitTestResult&, const HitTestResult&) = default;
};
