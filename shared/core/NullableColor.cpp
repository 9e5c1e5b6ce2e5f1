#include "shared/core/NullableColor.h"

#include "shared/core/Exceptions.h"

TNullableColor TNullableColor::ImplicitFromNil(const void* object)
{
    if (object != nullptr)
        throw ArgumentOutOfRangeException(QStringLiteral("TNullableColor is only convertable from a nil object"));
    return TNullableColor();
}
