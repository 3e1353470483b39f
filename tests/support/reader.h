// A small text reader for tests and benchmarks, standing in for the lexer's
// loaders until they make values: it reads the notation the tests and the
// boot sources use (words of the six kinds, paths with word, integer,
// get-word and paren elements, integers, floats, "strings" and {brace
// strings}, issues, blocks, parens, ; comments) into a block! whose words are
// bound in the global context. Anything else it does not know is a test
// fault, reported at once. Once lexer::scan_string loads values, load_text
// hands the text to it and this file goes.
#pragma once

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "core/cell.h"
#include "core/simple_types.h"
#include "core/word.h"
#include "series/block.h"
#include "series/string.h"

namespace zel::test {

class Reader {
public:
    explicit Reader(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}

    Cell read_all() { return read_series(TYPE_BLOCK, 0); }

private:
    const char* p_;
    const char* end_;

    [[noreturn]] void fault(const std::string& what) const {
        throw std::runtime_error("test reader: " + what + " at \"" + std::string(p_, end_ - p_ > 20 ? 20 : end_ - p_) +
                                 "\"");
    }

    static bool delimiter(char c) {
        return std::isspace(static_cast<unsigned char>(c)) || c == '[' || c == ']' || c == '(' || c == ')' ||
               c == '"' || c == '{' || c == '}' || c == ';';
    }

    void skip_space() {
        while (p_ < end_) {
            if (std::isspace(static_cast<unsigned char>(*p_))) {
                p_++;
            } else if (*p_ == ';') {
                while (p_ < end_ && *p_ != '\n') p_++;
            } else {
                break;
            }
        }
    }

    Cell read_series(int type, char close) {
        Cell block;
        block::make_at(&block, 8);
        cell::set_type(&block, type);
        for (;;) {
            skip_space();
            if (p_ >= end_) {
                if (close) fault("missing closing bracket");
                return block;
            }
            if (*p_ == close) {
                p_++;
                return block;
            }
            if (*p_ == ']' || *p_ == ')') fault("unexpected closing bracket");
            Cell value = read_value();
            block::append_cell(&block, &value);
        }
    }

    Cell read_value() {
        char c = *p_;
        if (c == '[') {
            p_++;
            return read_series(TYPE_BLOCK, ']');
        }
        if (c == '(') {
            p_++;
            return read_series(TYPE_PAREN, ')');
        }
        if (c == '"') return read_string();
        if (c == '{') return read_brace_string();
        return read_token();
    }

    Cell string_of(const std::string& text) {
        Cell s;
        string::make_from_utf8(&s, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()));
        return s;
    }

    Cell read_string() {
        std::string text;
        for (p_++; p_ < end_ && *p_ != '"'; p_++) {
            if (*p_ == '^' && p_ + 1 < end_) {
                p_++;
                text += *p_ == '/' ? '\n' : *p_;
            } else {
                text += *p_;
            }
        }
        if (p_ >= end_) fault("missing closing quote");
        p_++;
        return string_of(text);
    }

    Cell read_brace_string() {
        std::string text;
        int depth = 1;
        for (p_++; p_ < end_; p_++) {
            if (*p_ == '{') depth++;
            if (*p_ == '}' && --depth == 0) break;
            text += *p_;
        }
        if (p_ >= end_) fault("missing closing brace");
        p_++;
        return string_of(text);
    }

    static bool integer_text(const std::string& t) {
        size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
        if (i >= t.size()) return false;
        for (; i < t.size(); i++)
            if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
        return true;
    }

    static bool float_text(const std::string& t) {
        size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
        if (i >= t.size() || !(std::isdigit(static_cast<unsigned char>(t[i])) || t[i] == '.')) return false;
        char* stop = nullptr;
        std::strtod(t.c_str(), &stop);
        return *stop == 0;
    }

    static Cell word_of(const std::string& name, int type) {
        Cell w = word::load(name.c_str());
        cell::set_type(&w, type);
        return w;
    }

    Cell scalar(const std::string& t) {
        Cell c;
        if (integer_text(t)) {
            cell::set(&c, TYPE_INTEGER, 0, uint32_t(std::strtol(t.c_str(), nullptr, 10)));
            return c;
        }
        if (float_text(t)) {
            cell::set(&c, TYPE_FLOAT);
            cell::put_float(&c, std::strtod(t.c_str(), nullptr));
            return c;
        }
        return word_of(t, TYPE_WORD);
    }

    std::string read_run() {
        const char* start = p_;
        while (p_ < end_ && !delimiter(*p_) && *p_ != '/') p_++;
        return std::string(start, p_);
    }

    // A path: elements after '/', each a word, number, get-word or paren.
    Cell read_path(Cell first, int type) {
        Cell path;
        block::make_at(&path, 4);
        cell::set_type(&path, type);
        block::append_cell(&path, &first);
        while (p_ < end_ && *p_ == '/') {
            p_++;
            Cell element;
            if (p_ < end_ && *p_ == '(') {
                p_++;
                element = read_series(TYPE_PAREN, ')');
                if (type == TYPE_PATH && p_ < end_ && *p_ == ':') {
                    p_++;
                    cell::set_type(&path, TYPE_SET_PATH);
                }
            } else {
                std::string t = read_run();
                if (t.empty()) fault("empty path element");
                bool set = type == TYPE_PATH && t.back() == ':' && t.size() > 1;
                if (set) {
                    t.pop_back();
                    cell::set_type(&path, TYPE_SET_PATH);
                }
                element = t[0] == ':' ? word_of(t.substr(1), TYPE_GET_WORD) : scalar(t);
            }
            block::append_cell(&path, &element);
        }
        return path;
    }

    Cell read_token() {
        const char* start = p_;
        while (p_ < end_ && !delimiter(*p_)) p_++;
        std::string t(start, p_);
        size_t slash = t.find('/', 1);
        bool all_slashes = t.find_first_not_of('/') == std::string::npos;
        if (slash != std::string::npos && !all_slashes && t[0] != '/') {
            // A path: read again element by element.
            p_ = start;
            int type = TYPE_PATH;
            if (*p_ == '\'' || *p_ == ':') {
                type = *p_ == '\'' ? TYPE_LIT_PATH : TYPE_GET_PATH;
                p_++;
            }
            std::string head = read_run();
            return read_path(scalar(head), type);
        }
        if (t[0] == '#') {
            Cell issue = issue::load(t.substr(1).c_str());
            return issue;
        }
        if (t.size() > 1 && t[0] == '\'') return word_of(t.substr(1), TYPE_LIT_WORD);
        if (t.size() > 1 && t[0] == ':') return word_of(t.substr(1), TYPE_GET_WORD);
        if (t.size() > 1 && t.back() == ':') return word_of(t.substr(0, t.size() - 1), TYPE_SET_WORD);
        if (t.size() > 1 && t[0] == '/' && !all_slashes) return refinement::load(t.substr(1).c_str());
        return scalar(t);
    }
};

inline Cell load_text(const std::string& text) { return Reader(text).read_all(); }

}  // namespace zel::test
