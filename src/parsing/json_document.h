#pragma once
// JsonDocument: one JSON value, the document's root, read and changed by path.
//
// A path is the member-access text that follows the root, as a script would write it:
//   workspage.data.worksList[3].videoInfo['publish_time']
// (dotted names, "[n]" indexes, "['name']" and ["name"]; see parsing/json_path.h). Texts cross into the
// document from code page 936 and come back in it; a character code page 936 cannot hold comes back as
// "?". No operation throws or shows anything: a path that cannot be followed gives empty text, 0 or false,
// and a change that cannot be made changes nothing.
//
// Copies share one root: a change through one is seen through the other, and either may be destroyed
// first. `parse` gives the document a root of its own again. A document belongs to one thread.

#include <memory>
#include <vector>

#include "text/text.h"

namespace kestrano {

// Codes of JsonDocument::type_of.
namespace json_type {
inline constexpr int null_or_absent = 0;
inline constexpr int number = 2;
inline constexpr int object = 4;
inline constexpr int array = 5;
inline constexpr int string = 6;
inline constexpr int other = -1;  // true or false
}  // namespace json_type

struct JsonEngine;

class JsonDocument {
 public:
  // The root starts as an empty object.
  JsonDocument();
  ~JsonDocument();
  // Shares the root with `other`.
  JsonDocument(const JsonDocument& other);
  JsonDocument& operator=(const JsonDocument& other);

  // Gives this document a new root, an empty object; copies keep the old one.
  void create_engine();

  // Reads text as one JSON value into a new root. False for an empty text, for "null" and for anything
  // that is not exactly one JSON value (the root is then null). Nesting deeper than 512 levels is
  // refused. A "\u" escape of a lone surrogate is accepted and reads back as "?".
  bool parse(const Text& text);

  // Compact JSON of the root, as JSON.stringify writes it.
  Text to_json() const;

  // Stores value at key (a path). raw false: as a JSON string, whatever characters it holds. raw true: an
  // empty value becomes "{}" (also in the caller's variable); the value is read as JSON, and when it is
  // not JSON nothing changes. The parent must exist: an object, or an array for an index.
  void set_member(const Text& key, Text& value, bool raw = false);
  void set_member(const Text& key, const Text& value, bool raw = false);
  // Stores the JSON value of expression at key; nothing changes when it is not JSON.
  void set_member_json(const Text& key, const Text& expression);
  void set_member_number(const Text& key, double number);

  // A number value; a string that holds one decimal number gives that number, true gives 1; else 0.
  double get_number(const Text& path) const;
  // Compact JSON of the value at path; empty text when nothing is there.
  Text get_member_json(const Text& path) const;
  // as_json false: a string as it is; a number in printf's "%.13g" form (15, 2.5); true and false as
  // words; an object as "[object Object]"; an array as its elements joined by ","; null, absent or a
  // path that cannot be followed as empty text. as_json true: as get_member_json.
  Text get_text(const Text& path, bool as_json = false) const;
  // An independent document holding a copy of the value at path (root null when there is none).
  JsonDocument get_document(const Text& path) const;

  // Members of an object or elements of an array at path (the root when empty); -2 when the value is null
  // or absent; 0 when a parent along the path is absent or null, and for a string, number or boolean.
  int count(const Text& path = {}) const;

  // Appends value to the array at path (the root when empty), first replacing whatever is there by an
  // empty array when it is not an array. raw as for set_member. The caller's path variable receives the
  // path as the script engine wrote it: the root's name, "da", and "." + path when path is not empty.
  void push(const Text& value, Text& path, bool raw = false);
  void push(const Text& value, const Text& path = {}, bool raw = false);
  // The element at index of the value at path (the root when empty).
  JsonDocument get_element_document(int index, const Text& path = {}) const;
  Text get_element_text(int index, const Text& path = {}, bool as_json = false) const;
  // Stores value as the element index of the root array (or member "index" of the root object).
  void set_element(int index, const Text& value, bool raw = false);
  // Removes element index of the root array; a negative index counts from the end, as splice does.
  void remove_element(int index);
  void delete_member(const Text& key);
  // 0 or 4: the root becomes an empty object; 5: an empty array; any other code: nothing.
  void reset_as(int type_code);
  // The root becomes value: a JSON string (raw false) or the JSON value it holds (raw true).
  void set_root(const Text& value, bool raw = false);
  // True when the member exists and is not null.
  bool has_member(const Text& key) const;
  // Replaces names by the member names of the object at path (the root when empty), in document order,
  // or the indexes "0".."n-1" of an array; returns their number.
  int member_names(std::vector<Text>& names, const Text& path = {}) const;
  // A code of json_type for the value at path (the root when empty).
  int type_of(const Text& path = {}) const;
  // The root becomes an empty object.
  void clear();

 private:
  JsonDocument document_at(const Text& path) const;

  // The name the script engine gave the root; push hands it back in the caller's path.
  Text root_name;
  std::shared_ptr<JsonEngine> engine;
};

}  // namespace kestrano
