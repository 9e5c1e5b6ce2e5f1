#pragma once
// Writing the four style states into an XML element and reading them back. Only Inherit flags and
// values travel; the states and styles themselves are fixed.
//
//   <State ID="InTakenPath">
//     <Style ID="">
//       <Settings><FontName>Verdana</FontName>...</Settings>   (own values only)
//       <Styles><Style ID="Symbols">...</Style>...</Styles>
//     </Style>
//   </State>  (four of them, in state order)

#include "Component/styles/StyleStates.h"

#include <QString>

#include <pugixml.hpp>

// Parse options for documents that hold style states: keeps a setting text made only of blanks
// (plain parsing would drop it).
inline constexpr unsigned StyleXmlParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Appends the four State elements to container.
void SaveStyleStates(const TStyleStates& styleStates, pugi::xml_node container);
// Appends one Style element for style and its subtree to parentElement.
void SaveStyle(const TStyle& style, pugi::xml_node parentElement);

// Sets the Inherit flags and values of styleStates from container. States, styles and Settings
// elements that are absent leave what was there. Returns false, changing nothing, when container
// is null (the caller's document has no style states).
bool LoadStyleStates(TStyleStates& styleStates, pugi::xml_node container);

// The first direct child element of container whose ID attribute equals stateName; null if none.
// A child without an ID attribute never matches.
pugi::xml_node FindStateNode(pugi::xml_node container, const QString& stateName);
// element itself when its ID attribute equals styleName, else the first match below it along the
// children of its Styles element, depth first; null if none.
pugi::xml_node FindStyleNode(pugi::xml_node element, const QString& styleName);

// Copies flags and own values of source into destination, with the same result as writing source
// and reading the XML into destination (inheriting settings keep destination's value).
void AssignStyleStates(const TStyleStates& source, TStyleStates& destination);

// text without the characters XML 1.0 cannot carry (control characters other than tab, line feed
// and carriage return, unpaired surrogates, U+FFFE and U+FFFF).
QString RemoveXmlInvalidChars(const QString& text);

// The style XML never nests deeper than this many elements: StyleStates, State, the fixed style
// tree with its Styles lists, Settings and a setting come to nine. A file nested deeper is no
// style file, and writing it back would only grow it (indentation grows with the square of the
// depth).
constexpr int MaxStyleXmlDepth = 32;

// The levels of elements from node down to its deepest element (an element node counts as
// one, a document node as none), walked without recursion; counting stops past limit, which
// answers limit + 1.
int XmlDepth(pugi::xml_node node, int limit);

// The text of an element: its direct text and CDATA children, joined (a text the parser embedded
// in the element itself included).
QString XmlElementText(pugi::xml_node element);
