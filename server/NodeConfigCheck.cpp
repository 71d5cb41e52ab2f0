#include "NodeConfigCheck.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace tavoxserver {
namespace {

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::string trimmedMessage(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

StepResult interimNodeConfigCheck(const std::filesystem::path& file)
{
    const std::string name = file.string();
    {
        std::ifstream probe(file, std::ios::binary);
        if (!probe)
            return StepResult::failure(
                "cannot read the node configuration file " + name + ": " + std::strerror(errno) + ".");
    }
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        return StepResult::failure("cannot read the node configuration file " + name + ": out of memory.");
    std::unique_ptr<xmlDoc, DocDeleter> doc(
        xmlCtxtReadFile(context, name.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    std::string parseError;
    if (!doc) {
        const xmlError* error = xmlCtxtGetLastError(context);
        parseError = error ? "line " + std::to_string(error->line) + ": " + trimmedMessage(error->message) : "not XML";
    }
    xmlFreeParserCtxt(context);
    if (!doc)
        return StepResult::failure(
            "the node configuration file " + name + " is not well-formed XML (" + parseError + ").");

    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || std::strcmp(reinterpret_cast<const char*>(root->name), "UANodeSet") != 0)
        return StepResult::failure(
            "the node configuration file " + name + " is not a nodeset (its root element is not UANodeSet).");
    return StepResult::success();
}

} // namespace tavoxserver
