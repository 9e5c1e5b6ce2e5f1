#include "shared/widgets/StringTreeTypes.h"

#include "shared/core/Exceptions.h"

namespace string_tree_native {

int ToNativeCheckState(TStringTreeNodeCheckState state)
{
    if (state < stncsUncheckedNormal || state > stncsMixedPressed)
        throw EInvalidOperation(QStringLiteral("Unknown CheckState"));
    return int(state);
}

TStringTreeNodeCheckState FromNativeCheckState(int state)
{
    if (state < int(stncsUncheckedNormal) || state > int(stncsMixedPressed))
        throw EInvalidOperation(QStringLiteral("Unknown native CheckState"));
    return TStringTreeNodeCheckState(state);
}

int ToNativeCheckImageKind(TStringTreeNodeCheckImageKind kind)
{
    if (kind < stnckLightCheck || kind > stnckSystemFlat)
        throw EInvalidOperation(QStringLiteral("Unknown CheckImageKind"));
    return int(kind);
}

TStringTreeNodeCheckImageKind FromNativeCheckImageKind(int kind)
{
    if (kind < int(stnckLightCheck) || kind > int(stnckSystemFlat))
        throw EInvalidOperation(QStringLiteral("Unknown inner CheckImageKind"));
    return TStringTreeNodeCheckImageKind(kind);
}

Qt::CheckState ToQtCheckState(int nativeState)
{
    switch (FromNativeCheckState(nativeState)) {
    case stncsCheckedNormal:
    case stncsCheckedPressed:
        return Qt::Checked;
    case stncsMixedNormal:
    case stncsMixedPressed:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

} // namespace string_tree_native
