// What keeps a database file, its schema or one of its tables from being
// read, in words for a person (the "scrivel-cli sqlite" command says this
// on standard error instead of printing nothing). Each function looks only
// at the named structure and returns "" when it finds nothing wrong there;
// the page walks themselves (btree_walk.h, schema.h) stay silent and go on
// past damage.
#pragma once

#include <cstdint>
#include <string>

#include "core/sqlite/sqlite_reader.h"

namespace scrivel::sqlite {

// Why reader.Open(path) failed: the system's reason when it gave one, else
// what is wrong with the file or its 100-byte header (empty, too short, no
// magic text, an illegal page-size field, not a regular file).
std::string OpenProblem(const SqliteReader& reader, const std::string& path);

// Why the schema table (schema.h) cannot be read, or not in full: the file
// holds no whole page, page 1 cannot be read or is not a table b-tree page,
// a page of the schema's b-tree cannot be read, or page 1 holds cells of
// which none is a schema row. "" when the schema reads; an empty schema
// reads.
std::string SchemaProblem(const SqliteReader& reader);

// Why the b-tree rooted at page number `rootPage` cannot be walked: the
// page lies outside the file, cannot be read, or is not a table b-tree
// page. "" when it is a table b-tree page.
std::string RootPageProblem(const SqliteReader& reader, std::uint32_t rootPage);

}  // namespace scrivel::sqlite
