// A source reader that numbers its lines on from a given count after every
// start, as a reader deep in a source of more than two thousand million lines
// would: the end of the line numbers is tested without such a source.
#pragma once

#include <string>
#include <utility>

template <class Reader> class DeepReader : public Reader {
public:
    template <class... Args>
    explicit DeepReader(int last, Args&&... args)
        : Reader(std::forward<Args>(args)...), last(last) {}
    bool start(std::string& errorMessage) override {
        const bool started = Reader::start(errorMessage);
        this->lineCounter = last;
        return started;
    }

private:
    int last;
};
