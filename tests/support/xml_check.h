// A strict reader of the plain XML hostsim writes, for tests that run where no
// XML tools are (under Wine): is a document well-formed, and what elements and
// attributes does it hold. It knows elements, attributes, text, the five
// predefined entities, character references and a leading declaration; a
// document type, comments or CDATA count as problems, since hostsim never
// writes them.
#ifndef QZ_TESTS_SUPPORT_XML_CHECK_H
#define QZ_TESTS_SUPPORT_XML_CHECK_H

#include <string>
#include <utility>
#include <vector>

namespace qztest {

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // values as written, references unexpanded
  std::string text;                                             // its own text, references unexpanded
};

struct XmlDocument {
  std::string problem;               // empty when the document is well-formed
  std::vector<XmlElement> elements;  // in document order
};

XmlDocument ReadXml(const std::string& text);

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_XML_CHECK_H
