#include "Component/styles/StyleTreeSerializer.h"

#include <QByteArray>

#include <vector>

namespace {

const char* const StateTag = "State";
const char* const StyleTag = "Style";
const char* const SettingsTag = "Settings";
const char* const StylesTag = "Styles";
const char* const IdAttr = "ID";

bool IdEquals(pugi::xml_node element, const QByteArray& id)
{
    if (element.type() != pugi::node_element)
        return false;
    const pugi::xml_attribute attr = element.attribute(IdAttr);
    return attr && id == attr.value();
}

// The first child element of that name; a processing instruction of the same name (kept when the
// caller parses with parse_pi) is not an element and never matches.
pugi::xml_node ChildElement(pugi::xml_node parent, const char* name)
{
    for (pugi::xml_node child = parent.child(name); child; child = child.next_sibling(name))
        if (child.type() == pugi::node_element)
            return child;
    return {};
}

bool IsXmlChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

// The value a setting is written with.
QString SettingText(const TCascadedStyleSetting& setting)
{
    if (setting.Kind() == TCascadedStyleSetting::TKind::String)
        return RemoveXmlInvalidChars(setting.GetAsString());
    return setting.GetAsString();
}

} // namespace

QString RemoveXmlInvalidChars(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Most texts are clean: find the first character to drop before copying anything.
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (!IsXmlChar(c.unicode()))
            break;
    }
    if (i == n)
        return text;
    QString result = text.left(i);
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            result.append(c).append(text[i + 1]);
            ++i;
        } else if (IsXmlChar(c.unicode())) {
            result.append(c);
        }
    }
    return result;
}

QString XmlElementText(pugi::xml_node element)
{
    QByteArray text;
    bool hasTextNodes = false;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text.append(child.value());
            hasTextNodes = true;
        }
    // A document parsed with parse_embed_pcdata keeps an element's only text in the element
    // itself. A reader that also copies it into a text node must not get it twice, so the
    // element's own value counts only when there are no text nodes.
    if (!hasTextNodes && element.type() == pugi::node_element)
        text = element.value();
    return QString::fromUtf8(text);
}

int XmlDepth(pugi::xml_node node, int limit)
{
    const int own = node.type() == pugi::node_element ? 1 : 0;
    int deepest = own;
    // Down to the first child, else across to the next sibling, else back up to the nearest
    // ancestor below node that has one.
    int depth = own;
    pugi::xml_node at = node;
    for (;;) {
        pugi::xml_node next = at.first_child();
        while (next && next.type() != pugi::node_element)
            next = next.next_sibling();
        if (next) {
            at = next;
            if (++depth > deepest && (deepest = depth) > limit)
                return limit + 1;
            continue;
        }
        for (;;) {
            if (at == node)
                return deepest;
            next = at.next_sibling();
            while (next && next.type() != pugi::node_element)
                next = next.next_sibling();
            if (next) {
                at = next;
                break;
            }
            at = at.parent();
            --depth;
        }
    }
}

void SaveStyle(const TStyle& style, pugi::xml_node parentElement)
{
    pugi::xml_node element = parentElement.append_child(StyleTag);
    element.append_attribute(IdAttr).set_value(style.Name.toUtf8().constData());
    pugi::xml_node settings = element.append_child(SettingsTag);
    for (int i = 0; i < TStyle::SettingCount; ++i) {
        const TCascadedStyleSetting* setting = style.SettingAt(i);
        if (setting->Inherit)
            continue;
        pugi::xml_node item = settings.append_child(style.SettingNameAt(i).toLatin1().constData());
        const QByteArray text = SettingText(*setting).toUtf8();
        if (!text.isEmpty())
            item.append_child(pugi::node_pcdata).set_value(text.constData());
    }
    pugi::xml_node styles = element.append_child(StylesTag);
    for (int i = 0; i < style.ChildCount(); ++i)
        SaveStyle(*style.Child(i), styles);
}

void SaveStyleStates(const TStyleStates& styleStates, pugi::xml_node container)
{
    for (const TStyleState* state : styleStates.GetStates()) {
        pugi::xml_node element = container.append_child(StateTag);
        element.append_attribute(IdAttr).set_value(state->Name.toUtf8().constData());
        SaveStyle(*state->RootStyle(), element);
    }
}

pugi::xml_node FindStateNode(pugi::xml_node container, const QString& stateName)
{
    const QByteArray id = stateName.toUtf8();
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling())
        if (IdEquals(child, id))
            return child;
    return {};
}

pugi::xml_node FindStyleNode(pugi::xml_node element, const QString& styleName)
{
    if (!element)
        return {};
    const QByteArray id = styleName.toUtf8();
    // Depth first without recursion, so a deeply nested hostile file cannot exhaust the stack.
    std::vector<pugi::xml_node> pending{element};
    std::vector<pugi::xml_node> children;
    while (!pending.empty()) {
        const pugi::xml_node node = pending.back();
        pending.pop_back();
        if (IdEquals(node, id))
            return node;
        const pugi::xml_node styles = ChildElement(node, StylesTag);
        if (!styles)
            continue;
        children.clear();
        for (pugi::xml_node child = styles.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element)
                children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return {};
}

bool LoadStyleStates(TStyleStates& styleStates, pugi::xml_node container)
{
    if (!container)
        return false;
    const QStringList settingNames = TStyle::GetSettingNames();
    std::vector<QByteArray> tags;
    for (const QString& name : settingNames)
        tags.push_back(name.toLatin1());
    for (TStyleState* state : styleStates.GetStates()) {
        const pugi::xml_node stateElement = FindStateNode(container, state->Name);
        if (!stateElement)
            continue;
        const pugi::xml_node rootElement = ChildElement(stateElement, StyleTag);
        if (!rootElement)
            continue;
        for (TStyle* style : state->RootStyle()->GetAllStyles(true)) {
            const pugi::xml_node styleElement = FindStyleNode(rootElement, style->Name);
            if (!styleElement)
                continue;
            const pugi::xml_node settingsElement = ChildElement(styleElement, SettingsTag);
            if (!settingsElement)
                continue;
            for (int i = 0; i < TStyle::SettingCount; ++i) {
                TCascadedStyleSetting* setting = style->SettingAt(i);
                const pugi::xml_node item = ChildElement(settingsElement, tags[size_t(i)].constData());
                if (item) {
                    setting->Inherit = false;
                    setting->SetAsString(XmlElementText(item));
                } else {
                    setting->Inherit = true;
                }
            }
        }
    }
    return true;
}

void AssignStyleStates(const TStyleStates& source, TStyleStates& destination)
{
    if (&source == &destination)
        return;
    for (int s = 0; s < TStyleStates::StateCount; ++s) {
        const TStyleDynArray from = source.State(s)->RootStyle()->GetAllStyles(true);
        const TStyleDynArray to = destination.State(s)->RootStyle()->GetAllStyles(true);
        for (size_t j = 0; j < from.size(); ++j) {
            for (int i = 0; i < TStyle::SettingCount; ++i) {
                const TCascadedStyleSetting* src = from[j]->SettingAt(i);
                TCascadedStyleSetting* dst = to[j]->SettingAt(i);
                dst->Inherit = src->Inherit;
                if (src->Inherit)
                    continue;
                if (src->Kind() == TCascadedStyleSetting::TKind::String)
                    dst->SetAsString(SettingText(*src));
                else
                    dst->CopyValueFrom(*src);
            }
        }
    }
}
