// Result codes of an install run and the locale text id shown for each.
//
//   0 success                     1 error_common (empty catalogue path, unexpected exception)
//   2 error_http_download (both catalogue URLs failed)   3 error_xml_parse (catalogue unusable)
//   4..13 error_http_download (package download, downloader error type)
//   14 error_file_readwrite (package unpacking failed)   15 error_invalid_package (no installer)
//   16 error_install_failed (installer failed)           17 error_reg_access (registry key)
//   18 error_file_readwrite (no catalogue file, download file error, folder not created)
//   19 error_file_readwrite (old setup folder not removed)   20 error_http_download (digest)
#pragma once

#include <cstdint>
#include <map>
#include <string>

const std::map<int32_t, std::string>& ResultCodeTable();

// The text id of `code`; "error_common" for a code the table does not have.
std::string ResultCodeTextId(int32_t code);
