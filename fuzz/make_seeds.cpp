// Writes the seeds that the fixtures cannot give as they are:
//   fuzz_make_seeds tickers FULL_ANSWER OUT_DIR
//     short array answers cut from the front of a full ticker answer (the
//     full one is too long to mutate quickly);
//   fuzz_make_seeds plists OUT_DIR
//     preference suites as binary and XML property lists, with every kind
//     of value a suite may hold.
// Files are named by what they hold, so running it again only replaces them.
#include <plist/plist.h>
#include <simdjson.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace {

bool writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) std::cerr << "fuzz_make_seeds: cannot write " << path << "\n";
  return static_cast<bool>(out);
}

int tickers(const char* answerPath, const std::filesystem::path& outDir) {
  simdjson::dom::parser parser;
  simdjson::dom::array array;
  if (auto error = parser.load(answerPath).get_array().get(array); error != simdjson::SUCCESS) {
    std::cerr << "fuzz_make_seeds: " << answerPath << ": " << simdjson::error_message(error)
              << "\n";
    return 1;
  }
  for (size_t count : {1, 3, 12}) {
    std::string text = "[";
    size_t taken = 0;
    for (simdjson::dom::element element : array) {
      if (taken == count) break;
      if (taken++ != 0) text += ',';
      text += simdjson::minify(element);
    }
    text += "]";
    if (!writeFile(outDir / ("seed-tickers-first-" + std::to_string(count) + ".json"), text)) {
      return 1;
    }
  }
  return 0;
}

bool writePlist(plist_t root, const std::filesystem::path& outDir, const std::string& name) {
  char* bin = nullptr;
  uint32_t binLength = 0;
  plist_to_bin(root, &bin, &binLength);
  char* xml = nullptr;
  uint32_t xmlLength = 0;
  plist_to_xml(root, &xml, &xmlLength);
  bool ok = bin && xml && writeFile(outDir / ("seed-" + name + ".bplist"), {bin, binLength}) &&
            writeFile(outDir / ("seed-" + name + ".xml"), {xml, xmlLength});
  plist_to_bin_free(bin);
  plist_to_xml_free(xml);
  plist_free(root);
  return ok;
}

int plists(const std::filesystem::path& outDir) {
  bool ok = writePlist(plist_new_dict(), outDir, "empty");

  plist_t snapshot = plist_new_dict();
  const char json[] = R"({"todayBalance":1234.5,"yesterdayBalance":1200})";
  plist_dict_set_item(snapshot, "PortfolioWidgetKey", plist_new_data(json, sizeof json - 1));
  ok = writePlist(snapshot, outDir, "snapshot") && ok;

  plist_t mixed = plist_new_dict();
  plist_dict_set_item(mixed, "string", plist_new_string("text \xC3\xA9"));
  plist_dict_set_item(mixed, "empty string", plist_new_string(""));
  plist_dict_set_item(mixed, "data", plist_new_data("\x00\x01\xFF", 3));
  plist_dict_set_item(mixed, "empty data", plist_new_data("", 0));
  plist_dict_set_item(mixed, "uint", plist_new_uint(42));
  plist_dict_set_item(mixed, "real", plist_new_real(-0.5));
  plist_dict_set_item(mixed, "bool", plist_new_bool(1));
  plist_dict_set_item(mixed, "date", plist_new_date(700000000, 5));
  plist_dict_set_item(mixed, "uid", plist_new_uid(7));
  plist_t array = plist_new_array();
  plist_array_append_item(array, plist_new_string("in an array"));
  plist_array_append_item(array, plist_new_uint(1));
  plist_dict_set_item(mixed, "array", array);
  plist_t nested = plist_new_dict();
  plist_dict_set_item(nested, "inner", plist_new_string("value"));
  plist_dict_set_item(mixed, "dict", nested);
  ok = writePlist(mixed, outDir, "mixed") && ok;

  // Not a dictionary: a suite must read it as empty and set it aside.
  plist_t notDict = plist_new_array();
  plist_array_append_item(notDict, plist_new_string("a suite is never an array"));
  ok = writePlist(notDict, outDir, "array-root") && ok;
  return ok ? 0 : 1;
}

bool makeDirectory(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) std::cerr << "fuzz_make_seeds: cannot create " << dir << ": " << ec.message() << "\n";
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "tickers") == 0) {
    return makeDirectory(argv[3]) ? tickers(argv[2], argv[3]) : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "plists") == 0) {
    return makeDirectory(argv[2]) ? plists(argv[2]) : 1;
  }
  std::cerr << "usage: fuzz_make_seeds tickers FULL_ANSWER OUT_DIR | plists OUT_DIR\n";
  return 2;
}
