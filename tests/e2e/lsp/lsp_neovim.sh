#!/usr/bin/env bash
# Usage: lsp_neovim.sh TOLVANE_CLI
# Neovim's built-in client starts the server, opens a source, asks for the
# definition of the label under the cursor and jumps there.
set -u
cli=$1
if ! command -v nvim >/dev/null; then
  echo "SKIP: nvim is not installed (apt-get install neovim)"
  exit 77
fi
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
printf 'MAIN\tSTART\n\tLD\tGR1,DATA\n\tRET\nDATA\tDC\t5\n\tEND\n' >"$tmp/main.cas"
cat >"$tmp/test.lua" <<LUA
local out = io.open("$tmp/result", "w")
local function finish(text) out:write(text .. "\n"); out:close(); vim.cmd("qall!") end
local id = vim.lsp.start_client({ name = "tolvane", cmd = { "$cli", "lsp" }, root_dir = "$tmp" })
if not id then finish("no client") end
vim.cmd("edit $tmp/main.cas")
vim.lsp.buf_attach_client(0, id)
if not vim.wait(10000, function() return vim.lsp.get_client_by_id(id).initialized end) then finish("not initialized") end
vim.api.nvim_win_set_cursor(0, { 2, 9 })   -- on DATA in "LD GR1,DATA"
vim.lsp.buf.definition()
if not vim.wait(10000, function() return vim.api.nvim_win_get_cursor(0)[1] == 4 end) then
  finish("no jump: cursor at line " .. vim.api.nvim_win_get_cursor(0)[1])
end
finish("jumped to line " .. vim.api.nvim_win_get_cursor(0)[1] .. " column " .. vim.api.nvim_win_get_cursor(0)[2])
LUA
HOME=$tmp XDG_CONFIG_HOME=$tmp XDG_DATA_HOME=$tmp XDG_STATE_HOME=$tmp timeout 60 \
  nvim --headless --clean -n -c "luafile $tmp/test.lua" >"$tmp/nvim.log" 2>&1
result=$(cat "$tmp/result" 2>/dev/null)
echo "neovim: ${result:-no result}"
[ "$result" = "jumped to line 4 column 0" ]
