// The floor of the console benchmark: the least a C++ CGI program does to
// answer a request with a page of a given size. It prints the header block
// and BYTES bytes of page text through the standard streams, as a plain
// program would, so that a console request can be timed as a multiple of it.
// Usage: bench-floor BYTES
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    long bytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
    const std::string header = "Content-type: text/html\r\nStatus: 200 OK\r\n\r\n";
    std::fputs(header.c_str(), stdout);
    bytes -= static_cast<long>(header.size());
    // Table rows of about a hundred bytes, the grain of the console's pages.
    const std::string row = "<tr><td valign=\"top\" align=\"left\">a cell</td><td>another cell</td></tr>\n";
    std::string chunk;
    while (chunk.size() < 65536) chunk += row;
    std::fputs("<html><body>", stdout);
    bytes -= 12;
    while (bytes > 0) {
        const size_t n = bytes < static_cast<long>(chunk.size()) ? static_cast<size_t>(bytes) : chunk.size();
        std::fwrite(chunk.data(), 1, n, stdout);
        bytes -= static_cast<long>(n);
    }
    std::fputs("</body></html>\n", stdout);
    return 0;
}
