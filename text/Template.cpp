#include "text/Template.h"

std::vector<TemplatePiece> splitTemplate(std::string_view words) {
    std::vector<TemplatePiece> pieces;
    for (;;) {
        const std::size_t open = words.find('{');
        const std::size_t close = open == std::string_view::npos ? open : words.find('}', open);
        if (close == std::string_view::npos) {
            pieces.push_back(TemplatePiece{words, {}});
            return pieces;
        }
        pieces.push_back(
            TemplatePiece{words.substr(0, open), words.substr(open + 1, close - open - 1)});
        words.remove_prefix(close + 1);
    }
}
