#include "demo/sign_in_form.h"

#include <curl/curl.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace demo {

namespace {

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using HtmlDocument = std::unique_ptr<xmlDoc, DocumentDeleter>;

HtmlDocument parseHtml(const std::string& html, const std::string& address) {
    if (html.empty()) return HtmlDocument();
    return HtmlDocument(htmlReadMemory(html.data(), static_cast<int>(html.size()), address.c_str(), "UTF-8",
                                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
}

bool isElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

std::string attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value) return std::string();
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string textOf(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    if (!content) return std::string();
    std::string text(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return text;
}

// Depth-first, document order.
template <typename Visit>
bool walk(xmlNode* node, const Visit& visit) {
    for (; node; node = node->next) {
        if (visit(node)) return true;
        if (walk(node->children, visit)) return true;
    }
    return false;
}

bool hasClass(const xmlNode* node, const std::string& wanted) {
    const std::string classes = attribute(node, "class");
    size_t start = 0;
    while (start < classes.size()) {
        size_t end = classes.find(' ', start);
        if (end == std::string::npos) end = classes.size();
        if (classes.compare(start, end - start, wanted) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool readForm(xmlNode* formNode, const std::string& pageAddress, SignInForm& form) {
    SignInForm found;
    walk(formNode->children, [&found](xmlNode* node) {
        if (!isElement(node, "input")) return false;
        const std::string type = lower(attribute(node, "type"));
        const std::string name = attribute(node, "name");
        if (name.empty()) return false;
        if (type == "hidden") {
            found.hiddenFields.emplace_back(name, attribute(node, "value"));
        } else if (type == "password") {
            if (found.passwordField.empty()) found.passwordField = name;
        } else if (type.empty() || type == "text" || type == "email") {
            if (found.userField.empty()) found.userField = name;
        }
        return false;
    });
    if (found.passwordField.empty()) return false;
    // An absent or empty action submits to the page itself.
    const std::string action = attribute(formNode, "action");
    found.action = action.empty() ? pageAddress : resolveAddress(pageAddress, action);
    if (found.action.empty()) return false;
    found.method = lower(attribute(formNode, "method"));
    if (found.method != "post") found.method = "get";
    form = found;
    return true;
}

}  // namespace

bool readSignInForm(const std::string& html, const std::string& pageAddress, SignInForm& form) {
    HtmlDocument document = parseHtml(html, pageAddress);
    if (!document) return false;
    return walk(xmlDocGetRootElement(document.get()),
                [&](xmlNode* node) { return isElement(node, "form") && readForm(node, pageAddress, form); });
}

std::string resolveAddress(const std::string& base, const std::string& reference) {
    CURLU* url = curl_url();
    if (!url) return std::string();
    std::string resolved;
    char* text = nullptr;
    // Setting a second, relative address on a handle resolves it against the first.
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = text;
    }
    curl_free(text);
    curl_url_cleanup(url);
    return resolved;
}

std::string encodeFormFields(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    auto encode = [](const std::string& text) {
        char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
        std::string result = escaped ? escaped : "";
        curl_free(escaped);
        return result;
    };
    for (const auto& field : fields) {
        if (!body.empty()) body += '&';
        body += encode(field.first) + "=" + encode(field.second);
    }
    return body;
}

std::vector<std::pair<std::string, std::string>> filledIn(const SignInForm& form, const std::string& user,
                                                          const std::string& password) {
    std::vector<std::pair<std::string, std::string>> fields = form.hiddenFields;
    if (!form.userField.empty()) fields.emplace_back(form.userField, user);
    fields.emplace_back(form.passwordField, password);
    return fields;
}

std::string pageMessage(const std::string& html) {
    HtmlDocument document = parseHtml(html, "about:blank");
    if (!document) return std::string();
    xmlNode* root = xmlDocGetRootElement(document.get());
    std::string message;
    walk(root, [&message](xmlNode* node) {
        if (node->type != XML_ELEMENT_NODE || !hasClass(node, "error")) return false;
        message = textOf(node);
        return true;
    });
    if (!message.empty()) return message;
    std::string heading, paragraph;
    walk(root, [&heading](xmlNode* node) {
        if (isElement(node, "h1")) heading = textOf(node);
        return !heading.empty();
    });
    walk(root, [&paragraph](xmlNode* node) {
        if (isElement(node, "p")) paragraph = textOf(node);
        return !paragraph.empty();
    });
    message = heading;
    if (!paragraph.empty()) message += (message.empty() ? "" : ": ") + paragraph;
    return message;
}

}  // namespace demo
