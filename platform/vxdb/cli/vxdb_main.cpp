// vxdb: command-line access to a configuration database, for developers, the demo and tests.
//
//   vxdb [--db PATH] [--table NAME] COMMAND
//     get KEY [DEFAULT]   the parameter's text (or DEFAULT); status 1 when missing without DEFAULT
//     set KEY VALUE       stores the parameter, creating it
//     params              every parameter as "key=value", in key order
//     kinds               the registered record kinds: "name size first..last"
//     dump KIND [INDEX]   the stored records as JSON (one object, or an array of all)
//     load KIND FILE      stores the records of a JSON file as dump writes it ("-": standard input)
//
// PATH is a device path (default the settings database), mapped through VX_ROOT like every device
// path; FILE is an ordinary path of the machine the tool runs on. --table names one of the named
// tables of a kind (schedules shared by several events). Status 0 on success, 1 on failure, 2 for
// a usage mistake.
#include "vxdb/vxdb.h"
#include "vxdb/vxdb_json.h"
#include "vxdb/vxdb_param.h"
#include "vxdb/vxdb_record.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {
struct json_release {
    void operator()(json_object *object) const { json_object_put(object); }
};
using json_ptr = std::unique_ptr<json_object, json_release>;

struct options {
    const char *db = VXDB_MAIN_DB;
    const char *table = nullptr;
};

int usage()
{
    fputs("usage: vxdb [--db PATH] [--table NAME] get KEY [DEFAULT] | set KEY VALUE | params | kinds |\n"
          "            dump KIND [INDEX] | load KIND FILE\n",
          stderr);
    return 2;
}

int failure(const std::string &message)
{
    fprintf(stderr, "vxdb: %s\n", message.c_str());
    return 1;
}

void print_json(json_object *object)
{
    int flags = JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_SPACED | JSON_C_TO_STRING_NOSLASHESCAPE;
    printf("%s\n", json_object_to_json_string_ext(object, flags));
}

bool parse_index(const char *text, int *index)
{
    char *end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return false;
    *index = static_cast<int>(value);
    return true;
}

int cmd_get(const options &opt, int argc, char **argv)
{
    if (argc < 1 || argc > 2)
        return usage();
    std::string value;
    if (vxdb_param_text(opt.db, argv[0], &value) != 0) {
        if (argc < 2)
            return failure(std::string("no parameter ") + argv[0]);
        value = argv[1];
    }
    printf("%s\n", value.c_str());
    return 0;
}

int cmd_set(const options &opt, int argc, char **argv)
{
    if (argc != 2)
        return usage();
    if (set_param_value(opt.db, argv[0], argv[1]) != 0)
        return failure(std::string("cannot write ") + opt.db);
    return 0;
}

void print_param(const char *key, const char *value, void *)
{
    printf("%s=%s\n", key, value);
}

int cmd_params(const options &opt, int argc)
{
    if (argc != 0)
        return usage();
    if (vxdb_param_list(opt.db, print_param, nullptr) < 0)
        return failure(std::string("cannot read ") + opt.db);
    return 0;
}

int cmd_kinds(int argc)
{
    if (argc != 0)
        return usage();
    for (size_t i = 0; i < vxdb_kind_count(); ++i) {
        const vxdb_kind *kind = vxdb_kind_at(i);
        printf("%s %zu %d..%d\n", kind->name, kind->size, kind->first, kind->last);
    }
    return 0;
}

const vxdb_kind *find_kind(const char *name)
{
    const vxdb_kind *kind = vxdb_find_kind(name);
    if (kind == nullptr)
        failure(std::string("no record kind ") + name + " (see: vxdb kinds)");
    return kind;
}

int cmd_dump(const options &opt, int argc, char **argv)
{
    if (argc < 1 || argc > 2)
        return usage();
    const vxdb_kind *kind = find_kind(argv[0]);
    if (kind == nullptr)
        return 1;
    int index = VXDB_ALL;
    if (argc == 2 && !parse_index(argv[1], &index))
        return usage();
    json_ptr data(vxdb_dump(opt.db, *kind, index, opt.table));
    if (!data)
        return failure(argc == 2 ? std::string("no record ") + argv[1] : std::string("cannot read ") + opt.db);
    print_json(data.get());
    return 0;
}

int cmd_load(const options &opt, int argc, char **argv)
{
    if (argc != 2)
        return usage();
    const vxdb_kind *kind = find_kind(argv[0]);
    if (kind == nullptr)
        return 1;
    std::string text;
    if (strcmp(argv[1], "-") == 0) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in)
            return failure(std::string("cannot open ") + argv[1]);
        std::ostringstream data;
        data << in.rdbuf();
        text = data.str();
    }
    json_tokener *tokener = json_tokener_new();
    json_ptr data(tokener ? json_tokener_parse_ex(tokener, text.c_str(), static_cast<int>(text.size())) : nullptr);
    bool complete = tokener && json_tokener_get_error(tokener) == json_tokener_success;
    json_tokener_free(tokener);
    if (!complete || !data)
        return failure(std::string(argv[1]) + ": not JSON");
    std::string error;
    int stored = vxdb_load(opt.db, *kind, data.get(), &error, opt.table);
    if (stored < 0)
        return failure(std::string(argv[1]) + ": " + error);
    printf("stored %d records\n", stored);
    return 0;
}
}  // namespace

int main(int argc, char **argv)
{
    options opt;
    int i = 1;
    for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (strcmp(argv[i], "--db") == 0)
            opt.db = argv[i + 1];
        else if (strcmp(argv[i], "--table") == 0)
            opt.table = argv[i + 1];
        else
            return usage();
    }
    if (i >= argc)
        return usage();
    const char *command = argv[i];
    int rest = argc - i - 1;
    char **args = argv + i + 1;
    if (strcmp(command, "get") == 0)
        return cmd_get(opt, rest, args);
    if (strcmp(command, "set") == 0)
        return cmd_set(opt, rest, args);
    if (strcmp(command, "params") == 0)
        return cmd_params(opt, rest);
    if (strcmp(command, "kinds") == 0)
        return cmd_kinds(rest);
    if (strcmp(command, "dump") == 0)
        return cmd_dump(opt, rest, args);
    if (strcmp(command, "load") == 0)
        return cmd_load(opt, rest, args);
    return usage();
}
