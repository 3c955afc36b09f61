# Warnings every target of the project builds with; KAVVIX_WERROR turns them into errors (CI).
add_library(kavvix_warnings INTERFACE)
target_compile_options(kavvix_warnings INTERFACE -Wall -Wextra -Wpedantic
                       $<$<BOOL:${KAVVIX_WERROR}>:-Werror>)
