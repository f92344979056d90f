// The board's report: the ranking on the terminal, and the report folder's results.csv,
// results.json and index.html, each one exporter over the same results and standings.
#pragma once

#include "Board.h"
#include "Standings.h"

#include <string>
#include <vector>

// TEXT as one field of a CSV row: quoted, with its quotes doubled, when it holds a comma, a quote
// or a line break.
std::string csvField(const std::string& text);

void printStandings(const BoardResult& result, const std::vector<Standing>& standings);
std::string resultsCsv(const BoardResult& result);
std::string resultsJson(const BoardResult& result, const std::vector<Standing>& standings);
std::string resultsPage(const BoardResult& result, const std::vector<Standing>& standings);
