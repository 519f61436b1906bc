#pragma once
// "--name value" pairs of a benchmark's command line.

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>

namespace nimbrel::bench {

class Arguments {
public:
    Arguments(int argc, char* argv[])
    {
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string name = argv[i];
            if (!name.starts_with("--"))
                throw std::invalid_argument("expected --name value, got " + name);
            values_[name.substr(2)] = argv[i + 1];
        }
        if (argc % 2 == 0)
            throw std::invalid_argument(std::string("no value after ") + argv[argc - 1]);
    }

    std::string text(const std::string& name) const
    {
        const auto it = values_.find(name);
        if (it == values_.end())
            throw std::invalid_argument("--" + name + " is required");
        return it->second;
    }

    std::string text(const std::string& name, const std::string& fallback) const
    {
        const auto it = values_.find(name);
        return it == values_.end() ? fallback : it->second;
    }

    long long number(const std::string& name, long long fallback) const
    {
        const auto it = values_.find(name);
        return it == values_.end() ? fallback : std::stoll(it->second);
    }

private:
    std::map<std::string, std::string> values_;
};

// Runs a benchmark's body with its command line; an error ends it with a message and status 1.
template <typename Body> int runBenchmark(const char* name, int argc, char* argv[], Body body)
{
    try {
        return body(Arguments(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 1;
    }
}

} // namespace nimbrel::bench
