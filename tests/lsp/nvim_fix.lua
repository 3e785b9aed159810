-- Neovim (0.7 and later) with its own client on lintkeeper-lsp, headless: opens the crontab
-- $CRONTAB, waits for the diagnostics, writes them to $DIAGNOSTICS ("LINE CODE" each), makes the
-- fixes titled in $TITLES (separated by "|") from the code actions of the whole file, and writes
-- the file. Exits non-zero when any step fails.
local function fail(message)
  io.stderr:write("nvim_fix.lua: " .. message .. "\n")
  vim.cmd("cquit 1")
end

-- The set-up of docs/editors.md, for Neovim 0.7.
vim.cmd("filetype on")
vim.api.nvim_create_autocmd("FileType", {
  pattern = "crontab",
  callback = function(args)
    local client = vim.lsp.start_client({
      name = "lintkeeper",
      cmd = { os.getenv("LINTKEEPER_LSP") },
      root_dir = vim.fn.fnamemodify(args.file, ":p:h"),
    })
    vim.lsp.buf_attach_client(args.buf, client)
  end,
})

vim.cmd("edit " .. vim.fn.fnameescape(os.getenv("CRONTAB")))
local buf = vim.api.nvim_get_current_buf()
if vim.bo.filetype ~= "crontab" then
  fail("the file type is '" .. vim.bo.filetype .. "', not crontab")
end
if not vim.wait(15000, function() return #vim.diagnostic.get(buf) > 0 end, 20) then
  fail("no diagnostics came")
end

local lines = {}
for _, d in ipairs(vim.diagnostic.get(buf)) do
  table.insert(lines, string.format("%d %s", d.lnum + 1, d.code))
end
table.sort(lines)
vim.fn.writefile(lines, os.getenv("DIAGNOSTICS"))

local wanted = {}
for title in string.gmatch(os.getenv("TITLES"), "[^|]+") do wanted[title] = true end
local params = {
  textDocument = { uri = vim.uri_from_bufnr(buf) },
  range = { start = { line = 0, character = 0 }, ["end"] = { line = vim.api.nvim_buf_line_count(buf), character = 0 } },
  context = { diagnostics = {} },
}
local made = 0
local answers = vim.lsp.buf_request_sync(buf, "textDocument/codeAction", params, 10000) or {}
for _, answer in pairs(answers) do
  for _, action in ipairs(answer.result or {}) do
    if wanted[action.title] then
      vim.lsp.util.apply_workspace_edit(action.edit, "utf-16")
      made = made + 1
    end
  end
end
if made ~= vim.tbl_count(wanted) then fail(string.format("%d fixes made, not %d", made, vim.tbl_count(wanted))) end
vim.cmd("write")
vim.cmd("qall!")
