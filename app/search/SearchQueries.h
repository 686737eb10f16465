#pragma once
// The statements of the search.
