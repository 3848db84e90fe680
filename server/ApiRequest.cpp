#include "ApiRequest.h"

#include "TreeCache.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>

namespace halsend
{
namespace
{
const size_t kMaxPath = 512;
const size_t kMaxMethod = 64;

bool Fail(std::string& problem, const std::string& why)
{
    problem = why;
    return false;
}

bool IsMethodName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxMethod)
        return false;
    for (char c : name)
    {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

bool ParseBounded(const std::string& text, unsigned long most, unsigned long& out)
{
    if (text.empty() || text.size() > 10 || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value > most)
        return false;
    out = static_cast<unsigned long>(value);
    return true;
}

bool StringField(const nlohmann::json& object, const char* name, bool required, std::string& out,
                 std::string& problem)
{
    const auto it = object.find(name);
    if (it == object.end())
        return !required || Fail(problem, std::string("the body needs \"") + name + "\"");
    if (!it->is_string())
        return Fail(problem, std::string("\"") + name + "\" must be a string");
    out = it->get<std::string>();
    return true;
}

bool ParseCursor(const std::string& from, halsen::EventQuery& out, std::string& problem)
{
    if (from.empty())
        return true;
    const size_t colon = from.find(':');
    unsigned long position = 0, magic = 0;
    if (colon == std::string::npos || !ParseBounded(from.substr(0, colon), 0xffffffffUL, position) ||
        !ParseBounded(from.substr(colon + 1), 0xffffffffUL, magic))
        return Fail(problem, "from must be POSITION:MAGIC as an earlier answer's \"next\" gave it");
    out.position = position;
    out.magic = magic;
    return true;
}
} // namespace

bool ParseFolderPath(const std::string& text, std::string& path, std::string& problem)
{
    if (text.size() > kMaxPath)
        return Fail(problem, "the path is longer than " + std::to_string(kMaxPath) + " bytes");
    std::string joined = "\\";
    std::string name;
    for (char c : text + "\\")
    {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '@')
            return Fail(problem, "the path holds a control character or an \"@\"");
        if (c != '\\' && c != '/')
        {
            name += c;
            continue;
        }
        if (name == "." || name == "..")
            return Fail(problem, "the path may not hold . or ..");
        if (!name.empty())
            joined = ChildPath(joined, name);
        name.clear();
    }
    path = joined;
    return true;
}

bool ParseInvokeBody(const std::string& body, InvokeRequest& out, std::string& problem)
{
    const nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        return Fail(problem, "the body must be a JSON object");
    std::string path;
    if (!StringField(doc, "path", true, path, problem) || !StringField(doc, "method", true, out.method, problem) ||
        !StringField(doc, "arguments", false, out.arguments, problem) || !ParseFolderPath(path, out.path, problem))
        return false;
    if (!IsMethodName(out.method))
        return Fail(problem, "\"method\" must be a name of letters, digits and _ of at most " +
                                 std::to_string(kMaxMethod));
    if (out.method.size() + 1 + out.arguments.size() > kMaxRequestBody)
        return Fail(problem, "method and arguments may take at most " + std::to_string(kMaxRequestBody) + " bytes");
    for (char c : out.arguments)
    {
        if (c == '\0')
            return Fail(problem, "\"arguments\" may not hold a NUL");
    }
    return true;
}

bool ParseEventsQuery(const std::string& folder, const std::string& limit, const std::string& from,
                      const std::string& order, std::string& path, halsen::EventQuery& out, std::string& problem)
{
    if (folder.empty())
        return Fail(problem, "events needs folder=, e.g. folder=/RAID/MVP1");
    if (!ParseFolderPath(folder, path, problem))
        return false;
    out.path = PathNames(path);
    unsigned long count = 50;
    if (!limit.empty() && (!ParseBounded(limit, 1000, count) || count == 0))
        return Fail(problem, "limit must be a number from 1 to 1000");
    out.limit = static_cast<long>(count);
    if (order != "" && order != "newest" && order != "oldest")
        return Fail(problem, "order must be newest or oldest");
    out.oldestFirst = order == "oldest";
    return ParseCursor(from, out, problem);
}
} // namespace halsend
