#pragma once
// The stand-in's authors. The works-list API has one fixed path, so everything about an author (its
// videos, its pages, its oddities and the faults of its answers) is read from the authorId in the
// request body. The grammar is described in README.md.

#include <optional>
#include <string>
#include <string_view>

namespace kestrano::standin {

enum class WorksFault {
  none,
  status,     // fs<code>: answer that HTTP status with an HTML page
  not_json,   // fnotjson: 200 with a body that is not JSON
  error,      // ferror: a JSON error object without list and token
  types,      // ftype: every field of a video of the wrong type, the token a number
  list_type,  // ftypelist: the works list an object instead of an array
  stall,      // fstall<ms>: answer nothing for that long (0: until the stand-in stops)
};

struct AuthorShape {
  std::string author_id;
  int videos = 25;
  int page_size = 10;
  std::optional<double> duration;  // d<N>: every video this long; otherwise a fixed cycle
  bool tricky_titles = false;      // tmix
  bool missing_fields = false;     // miss
  int duplicate_id_at = -1;        // dupid<K>: video K carries the id of video K-1
  int bad_every = 0;               // bad<K>: every K-th play address answers 404
  std::string play_modes;           // play<modes>: video fault tokens for every play address
  WorksFault fault = WorksFault::none;
  int fault_status = 0;
  int stall_ms = 0;
  int fault_from_page = 0;  // at<N>: pages before N are answered normally

  int pages() const;
};

// Tokens are separated by "_"; a token that is not part of the grammar is ignored, so an ordinary
// 22-character authorId gives the default author.
AuthorShape parse_author(std::string_view author_id);

// The authorId inside the author object of a request body: the string after "authorId":".
std::string author_id_of(std::string_view author_ext);

// The page a token asks for: {"pn":N} or a bare number N; anything else is the first page.
int page_of_token(std::string_view token);

// The answer for page `page` (0-based), play addresses under `origin` ("http://127.0.0.1:PORT").
// The last page's token leads back to the first page.
std::string works_page_json(const AuthorShape& author, int page, const std::string& origin);

// The id of video `index`, the name its play address and content use.
std::string video_id(int index);

}  // namespace kestrano::standin
