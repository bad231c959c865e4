// The floor of a draw over a whole tree: what the least program does that prints N distinct files
// drawn at random from every folder below a top folder.
//   bench_walkdraw N TOP
// One thread walks the tree level by level with opendir and readdir's d_type, keeps the full path
// of every regular file whose name does not start with "." (hidden folders are not entered), draws
// N of them with a partial Fisher-Yates shuffle and writes them to standard output, one a line.
// No checks, no text decoding, no Qt: compare-shell.sh times `thinwick --count N --subfolders`
// against it.

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: bench_walkdraw N TOP\n", stderr);
        return 2;
    }
    const std::size_t n = std::strtoull(argv[1], nullptr, 10);
    std::string top = argv[2];
    if (top.empty() || top.back() != '/')
        top += '/';
    std::vector<std::string> files;
    std::vector<std::string> level{top};
    while (!level.empty()) {
        std::vector<std::string> next;
        for (const std::string& folder : level) {
            DIR* dir = opendir(folder.c_str());
            if (dir == nullptr)
                continue;
            while (const dirent* entry = readdir(dir)) {
                if (entry->d_name[0] == '.')
                    continue;
                if (entry->d_type == DT_DIR)
                    next.push_back(folder + entry->d_name + '/');
                else if (entry->d_type == DT_REG)
                    files.push_back(folder + entry->d_name);
            }
            closedir(dir);
        }
        level = std::move(next);
    }
    std::mt19937_64 random(std::random_device{}());
    const std::size_t k = n < files.size() ? n : files.size();
    std::string out;
    for (std::size_t i = 0; i < k; ++i) {
        std::uniform_int_distribution<std::size_t> pick(i, files.size() - 1);
        std::swap(files[i], files[pick(random)]);
        out += files[i];
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
